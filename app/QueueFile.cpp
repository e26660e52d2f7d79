#include "app/QueueFile.h"

#include "jobs/BatchCommands.h"
#include "jobs/BatchFile.h"
#include "jobs/BatchList.h"
#include "profiles/AtomicFile.h"

#include <filesystem>

namespace moxel::gui {

QueueFile::QueueFile(std::string path, BatchList& list, const ProfileStore& profiles)
    : m_path(std::move(path)), m_list(list), m_profiles(profiles)
{
}

std::string QueueFile::currentBytes() const
{
    return formatBatchFile(batchEntries(m_list, m_profiles, false));
}

void QueueFile::load(BatchCommands& commands)
{
    std::error_code error;
    if (std::filesystem::is_regular_file(m_path, error))
        commands.importBatchFile(m_path);
    // Whatever could not be taken back is dropped from the file by the next save.
    m_written.clear();
    m_known = false;
    saveIfChanged();
}

void QueueFile::saveIfChanged()
{
    if (m_list.refreshSuspended())
        return;
    std::string bytes = currentBytes();
    if (m_known && bytes == m_written)
        return;
    if (writeFileAtomically(m_path, bytes)) {
        m_written = std::move(bytes);
        m_known = true;
    }
}

} // namespace moxel::gui
