// The small key/value file that holds the program's settings (moxel.ini) and
// the profile index (Profiles/index.txt). Read once on construction, changed
// in memory, written back by flush() and on destruction when anything was set.
//
// Format: a "[config]" line, then one "key=value" line per key in the order
// the keys were first set. Reading ignores lines that begin with '[' and
// lines without '='; others split at their first '='. Lines are read in
// pieces of at most 4095 characters, each piece handled as a line; CR LF and
// LF ends both read, and every line written ends with CR LF, as the profile
// files' lines do. The file is replaced through a temporary file and a
// rename. Keys are case-sensitive and significant to 16 characters: a longer
// key is stored and written cut to 16.
//
// Thread-safe: the user-interface thread writes while a job's worker reads
// (prefs_priority), so every operation takes the object's lock and getString
// returns a copy rather than a pointer into the store.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace moxel {

class SettingsFile {
  public:
    static constexpr size_t kKeyChars = 16;
    static constexpr size_t kLinePieceChars = 4095;

    // Loads path; a missing or unreadable file gives an empty, clean store.
    explicit SettingsFile(std::string path);
    // Flushes: a store that was set since the last save is written.
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    const std::string& path() const { return m_path; }

    std::string getString(std::string_view key, std::string_view defaultValue) const;
    // defaultValue when the key is absent or its value empty; otherwise the
    // value's leading decimal integer (0 when it has none).
    int getInt(std::string_view key, int defaultValue) const;
    // Marks the store dirty, also when the value is unchanged. The file cannot
    // carry line breaks: a value is written up to its first one.
    void setString(std::string_view key, std::string_view value);
    void setInt(std::string_view key, int value); // "%d"

    bool isDirty() const;
    // Saves if dirty. False when the file could not be written; the store
    // then stays dirty and the old file stays as it was.
    bool flush();
    // From now on nothing is written: flush() and the destructor leave the
    // file as it is (flush() then returns false while the store is dirty).
    void setReadOnly();

  private:
    using Entry = std::pair<std::string, std::string>;
    static constexpr size_t kNotFound = size_t(-1);

    void setLocked(std::string_view key, std::string_view value);
    // Index of the entry for key (its first 16 characters), or kNotFound.
    size_t findLocked(std::string_view key) const;

    const std::string m_path;
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries; // key cut to 16, value
    bool m_dirty = false;
    bool m_readOnly = false;
};

} // namespace moxel
