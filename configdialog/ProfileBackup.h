// The copy of a profile file that lets Cancel undo an edit: everything the
// edit dialog, the encoder configuration and the codec panels wrote. It is
// taken before the edit dialog opens, as "<path>__temp__.pf" beside the file,
// and the file's bytes are also kept in memory, so that Cancel restores the
// file byte for byte even when the backup file could not be written. A
// profile that did not exist before the edit is removed again by restore().
// The backup file is deleted when the object goes.
#pragma once

#include <optional>
#include <string>

namespace moxel {

class ProfileBackup {
  public:
    explicit ProfileBackup(std::string profilePath);
    ~ProfileBackup(); // deletes the backup file
    ProfileBackup(const ProfileBackup&) = delete;
    ProfileBackup& operator=(const ProfileBackup&) = delete;

    // "<path>__temp__.pf".
    static std::string backupPathFor(const std::string& profilePath);
    const std::string& backupPath() const { return m_backupPath; }
    // False when the backup file could not be written (restore still works
    // from memory).
    bool hasBackupFile() const { return m_haveBackupFile; }

    // Puts the profile file back as it was when the object was made. False
    // when that failed; the file then holds whatever the edit wrote.
    bool restore() const;

  private:
    std::string m_profilePath;
    std::string m_backupPath;
    std::optional<std::string> m_original; // none: no file, or one that cannot be read
    bool m_existed = false;
    bool m_haveBackupFile = false;
};

} // namespace moxel
