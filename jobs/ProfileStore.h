// The program's one ordered list of encoding profiles. It mirrors the
// Profiles folder: every profile is an EncodingProfile whose .pf file lies
// there, and Profiles/index.txt lists the files in list order. A profile is
// addressed by its position; batch jobs keep that position.
//
// Positions 0 to count-1 are the profiles; positions from count up to the
// capacity hold spare records. The record at position count is where a new
// profile is prepared: filled in, given a file, written, and only then
// counted with commitPrepared().
//
// Used on the user-interface thread only (the conversion worker never reads
// the store: a job takes its own copy of its profile's file path).
#pragma once

#include "profiles/EncodingProfile.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace moxel {

class Prompt;
class SettingsFile;

class ProfileStore {
  public:
    static constexpr int kMaxIndexedProfiles = 1024;
    static constexpr int kMinCapacity = 4;
    static constexpr const char* kDefaultName = "(Default)";

    // Uses programFolders() (profilesFolder, profileIndexFile, and the
    // program folder for the codec plug-ins) at the time of each call.
    ProfileStore();
    // A store of its own folder and index, for tools and tests. pluginFolder
    // is where the default profile looks for codec plug-ins.
    ProfileStore(std::string profilesFolder, SettingsFile& index, std::string pluginFolder);
    ~ProfileStore();
    ProfileStore(const ProfileStore&) = delete;
    ProfileStore& operator=(const ProfileStore&) = delete;

    // Reads the index and every listed profile. Absent or empty entries are
    // dropped with the message "%d out of %d profiles could not be loaded"
    // (title "ERROR") through prompt. Always ends with at least one profile:
    // an empty store gets "(Default)" with the best installed formats.
    void loadAll(Prompt& prompt);
    // Writes num_profiles and one "profileN" key per position, then flushes
    // the index. False when the index file could not be written.
    bool saveIndex();

    // Afterwards positions 0 to n-1 hold records. The capacity is the
    // smallest power of two reaching n, at least 4; it shrinks only when the
    // new capacity is a quarter of the old one or less.
    void resize(int n);
    // Gives the prepared record (position count) the file
    // profilesFolder/<friendlyName>.pf. Fails, leaving the record's path,
    // when such a file or folder exists or the name cannot be a file name
    // (empty, ".", "..", or holding '/'). Resizes to count+1 when needed.
    bool givePreparedFile();
    // The record at position count, allocated if needed.
    EncodingProfile& prepared();
    // Counts the prepared record.
    void commitPrepared();

    int count() const { return m_count; }
    int capacity() const { return int(m_records.size()); }
    // Null when i is outside 0..count-1.
    const EncodingProfile* at(int i) const;
    EncodingProfile* at(int i);
    // The friendly_name, or empty when i is out of range.
    std::string displayName(int i) const;
    // The file path, or empty when i is out of range.
    std::string filePath(int i) const;
    // First position whose name equals name exactly, or -1.
    int findExact(std::string_view name) const;
    // First position whose name equals name without regard to ASCII letter
    // case, or -1. Profile lists highlight last_profile this way.
    int findIgnoringCase(std::string_view name) const;
    // True when no profile at 0..count-1 has exactly this name.
    bool isNameFree(std::string_view name) const;
    // The first free name of first, then laterPattern with k = 2, 3, ...
    // laterPattern holds one "%d" and optionally one "%s" (filled with base).
    std::string chooseFreeName(const std::string& first, const std::string& base,
                               const std::string& laterPattern) const;

    // Removes position i: later profiles move up, the record becomes spare,
    // the store is resized to the new count. The file is not touched.
    void removeAt(int i);
    // Swaps two positions (both must be below count).
    void swapPositions(int a, int b);

    // A read-only store writes no file: an empty store gets "(Default)" in
    // memory alone, no ready profiles, and saveIndex() writes nothing. The
    // program's store is read-only when programFolders().readOnly is set.
    void setReadOnly() { m_readOnly = true; }
    bool isReadOnly() const;

    const std::string& profilesFolder() const;
    const std::string& pluginFolder() const;

  private:
    SettingsFile& index() const;
    void createDefaultProfile();

    std::string m_profilesFolder; // empty: programFolders()
    SettingsFile* m_index = nullptr;
    std::string m_pluginFolder;
    std::vector<std::unique_ptr<EncodingProfile>> m_records; // size is the capacity
    int m_count = 0;
    bool m_readOnly = false;
};

// A name usable as a profile's file name below the Profiles folder: not
// empty, not "." or "..", no '/'.
bool isUsableProfileFileName(std::string_view name);

// The base of an imported profile's name: "imported profile" when the loaded
// name is "error" or is not usable as a file name, else the loaded name.
std::string importedProfileBaseName(const std::string& loadedName);

} // namespace moxel
