#include "configdialog/ProfileBackup.h"

#include "base/DiagnosticSink.h"
#include "profiles/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace moxel {

namespace {

// The whole file, or none when it does not exist or cannot be read.
std::optional<std::string> readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return bytes;
}

} // namespace

ProfileBackup::ProfileBackup(std::string profilePath)
    : m_profilePath(std::move(profilePath)), m_backupPath(backupPathFor(m_profilePath))
{
    m_original = readWholeFile(m_profilePath);
    std::error_code ec;
    m_existed = m_original || std::filesystem::exists(m_profilePath, ec) || ec;
    if (m_original)
        m_haveBackupFile = writeFileAtomically(m_backupPath, *m_original);
    else
        std::remove(m_backupPath.c_str()); // an older backup would be misleading
    if (m_original && !m_haveBackupFile)
        emitDiagnostic(kProfileEditorDiagnostics, DiagnosticLevel::Error,
                       "profile editor: cannot write the backup " + m_backupPath);
}

ProfileBackup::~ProfileBackup()
{
    if (m_haveBackupFile)
        std::remove(m_backupPath.c_str());
}

std::string ProfileBackup::backupPathFor(const std::string& profilePath)
{
    return profilePath + "__temp__.pf";
}

bool ProfileBackup::restore() const
{
    if (!m_original) {
        if (m_existed)
            return false; // a file that could not be read cannot be put back
        // There was no file before the edit: there is none after Cancel.
        return std::remove(m_profilePath.c_str()) == 0 || errno == ENOENT;
    }
    // The backup file holds these same bytes; memory serves also when it
    // could not be written.
    if (writeFileAtomically(m_profilePath, *m_original))
        return true;
    // No temporary beside the file (a name at the system's limit, a full
    // folder): overwriting in place still beats keeping the edit.
    std::ofstream out(m_profilePath, std::ios::binary | std::ios::trunc);
    out.write(m_original->data(), std::streamsize(m_original->size()));
    out.close();
    return bool(out);
}

} // namespace moxel
