#include "app/QueueFile.h"

#include "jobs/BatchCommands.h"
#include "jobs/BatchFile.h"
#include "jobs/BatchList.h"
#include "jobs/KeptStatuses.h"
#include "profiles/AtomicFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace moxel::gui {

namespace {

std::string besideFile(const std::string& path, const char* name)
{
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return folder.empty() ? std::string(name) : (folder / name).string();
}

} // namespace

QueueFile::QueueFile(std::string path, BatchList& list, const ProfileStore& profiles)
    : m_path(std::move(path)), m_statusPath(besideFile(m_path, kStatusFileName)), m_list(list),
      m_profiles(profiles)
{
    m_queue.path = m_path;
    m_statuses.path = m_statusPath;
}

void QueueFile::load(BatchCommands& commands)
{
    std::error_code error;
    const int before = m_list.count();
    if (std::filesystem::is_regular_file(m_path, error))
        commands.importBatchFile(m_path);
    std::ifstream in(m_statusPath, std::ios::binary);
    const std::string statuses{std::istreambuf_iterator<char>(in), {}};
    if (restoreKeptStatuses(m_list, before, statuses) > 0)
        m_list.rebuildView();
    // Whatever could not be taken back is dropped from the files by the next save.
    m_queue.known = false;
    m_statuses.known = false;
    saveIfChanged();
}

void QueueFile::saveIfChanged(Kept& file, std::string bytes)
{
    if (file.known && bytes == file.written)
        return;
    if (writeFileAtomically(file.path, bytes)) {
        file.written = std::move(bytes);
        file.known = true;
    }
}

void QueueFile::saveIfChanged()
{
    if (m_list.refreshSuspended())
        return;
    saveIfChanged(m_queue, formatBatchFile(batchEntries(m_list, m_profiles, false)));
    saveIfChanged(m_statuses, formatKeptStatuses(m_list));
}

} // namespace moxel::gui
