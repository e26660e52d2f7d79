#include "jobs/ProfileStore.h"

#include "base/Prompt.h"
#include "jobs/DefaultFormats.h"
#include "jobs/JobPaths.h"
#include "jobs/ProfilePresets.h"
#include "settings/ProgramFolders.h"
#include "settings/SettingsFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace moxel {

namespace {

const char* const kNumKey = "num_profiles";
const char* const kImportedName = "imported profile";
constexpr int kMaxDefaultAttempts = 100;

std::string indexKey(int i)
{
    return "profile" + std::to_string(i);
}

bool pathExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type() !=
           std::filesystem::file_type::not_found;
}

bool isRegularFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

int capacityFor(int n, int minimum)
{
    int capacity = minimum;
    while (capacity < n)
        capacity *= 2;
    return capacity;
}

// Fills "%s" with base and "%d" with k, in the order they appear.
std::string fillPattern(const std::string& pattern, const std::string& base, int k)
{
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            char c = pattern[i + 1];
            if (c == 's' || c == 'd') {
                out += c == 's' ? base : std::to_string(k);
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

} // namespace

bool isUsableProfileFileName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::string importedProfileBaseName(const std::string& loadedName)
{
    if (loadedName == "error" || !isUsableProfileFileName(loadedName))
        return kImportedName;
    return loadedName;
}

ProfileStore::ProfileStore() = default;

ProfileStore::ProfileStore(std::string profilesFolder, SettingsFile& index,
                           std::string pluginFolder)
    : m_profilesFolder(std::move(profilesFolder)), m_index(&index),
      m_pluginFolder(std::move(pluginFolder))
{
}

ProfileStore::~ProfileStore() = default;

const std::string& ProfileStore::profilesFolder() const
{
    return m_index ? m_profilesFolder : programFolders().profilesFolder;
}

const std::string& ProfileStore::pluginFolder() const
{
    return m_index ? m_pluginFolder : programFolders().programFolder;
}

SettingsFile& ProfileStore::index() const
{
    return m_index ? *m_index : *programFolders().profileIndexFile;
}

void ProfileStore::resize(int n)
{
    const int wanted = capacityFor(std::max(n, 0), kMinCapacity);
    const int current = capacity();
    if (wanted == current || wanted * 2 == current)
        return;
    if (wanted > current) {
        m_records.reserve(size_t(wanted));
        while (capacity() < wanted)
            m_records.push_back(std::make_unique<EncodingProfile>());
    } else {
        m_records.resize(size_t(wanted)); // spare records only: count never exceeds n
        m_count = std::min(m_count, wanted);
    }
}

EncodingProfile& ProfileStore::prepared()
{
    if (m_count >= capacity())
        resize(m_count + 1);
    return *m_records[size_t(m_count)];
}

bool ProfileStore::givePreparedFile()
{
    EncodingProfile& record = prepared();
    if (!isUsableProfileFileName(record.friendlyName))
        return false;
    std::string path = profilesFolder() + "/" + record.friendlyName + ".pf";
    if (pathExists(path) || !pathLimitProblem(path).empty())
        return false;
    record.filePath = std::move(path);
    return true;
}

void ProfileStore::commitPrepared()
{
    prepared();
    ++m_count;
}

const EncodingProfile* ProfileStore::at(int i) const
{
    return i >= 0 && i < m_count ? m_records[size_t(i)].get() : nullptr;
}

EncodingProfile* ProfileStore::at(int i)
{
    return i >= 0 && i < m_count ? m_records[size_t(i)].get() : nullptr;
}

std::string ProfileStore::displayName(int i) const
{
    const EncodingProfile* p = at(i);
    return p ? p->friendlyName : std::string();
}

std::string ProfileStore::filePath(int i) const
{
    const EncodingProfile* p = at(i);
    return p ? p->filePath : std::string();
}

int ProfileStore::findExact(std::string_view name) const
{
    for (int i = 0; i < m_count; ++i)
        if (m_records[size_t(i)]->friendlyName == name)
            return i;
    return -1;
}

int ProfileStore::findIgnoringCase(std::string_view name) const
{
    for (int i = 0; i < m_count; ++i)
        if (equalsIgnoringCase(m_records[size_t(i)]->friendlyName, name))
            return i;
    return -1;
}

bool ProfileStore::isNameFree(std::string_view name) const
{
    return findExact(name) < 0;
}

std::string ProfileStore::chooseFreeName(const std::string& first, const std::string& base,
                                         const std::string& laterPattern) const
{
    if (isNameFree(first))
        return first;
    // count profiles cannot hold all of the count+1 names tried up to
    // k = count+2, unless the pattern does not vary with k.
    std::string name = first;
    for (int k = 2; k <= m_count + 2; ++k) {
        name = fillPattern(laterPattern, base, k);
        if (isNameFree(name))
            break;
    }
    return name;
}

void ProfileStore::removeAt(int i)
{
    if (i < 0 || i >= m_count)
        return;
    std::rotate(m_records.begin() + i, m_records.begin() + i + 1, m_records.begin() + m_count);
    --m_count;
    resize(m_count);
}

void ProfileStore::swapPositions(int a, int b)
{
    if (a < 0 || b < 0 || a >= m_count || b >= m_count)
        return;
    std::swap(m_records[size_t(a)], m_records[size_t(b)]);
}

void ProfileStore::loadAll(Prompt& prompt)
{
    SettingsFile& file = index();
    const int listed = std::min(file.getInt(kNumKey, 0), kMaxIndexedProfiles);
    m_count = 0;
    int failures = 0;
    if (listed > 0) {
        resize(listed);
        for (int i = 0; i < listed; ++i) {
            std::string name = file.getString(indexKey(i), "");
            // Only a plain file name of the Profiles folder is taken.
            if (!isUsableProfileFileName(name)) {
                ++failures;
                continue;
            }
            EncodingProfile& record = *m_records[size_t(m_count)];
            record.filePath = profilesFolder() + "/" + name;
            record.load();
            ++m_count;
        }
        if (failures > 0) {
            char text[96];
            std::snprintf(text, sizeof text, "%d out of %d profiles could not be loaded", failures,
                          listed);
            prompt.showMessage("ERROR", text);
            resize(m_count);
        }
    }
    if (m_count == 0)
        createDefaultProfile();
    if (listed == 0 && !isReadOnly())
        addProfilePresets(*this);
}

bool ProfileStore::isReadOnly() const
{
    return m_readOnly || (!m_index && programFolders().readOnly.load());
}

void ProfileStore::createDefaultProfile()
{
    resize(1);
    EncodingProfile& record = prepared();
    record.resetToDefaults();
    record.filePath.clear();
    record.friendlyName = kDefaultName;
    if (isReadOnly()) {
        record.filePath = profilesFolder() + "/" + kDefaultName + ".pf";
        commitPrepared();
        return;
    }
    if (!givePreparedFile()) {
        // A file of that name lies in the folder without being listed: take
        // it as the default profile rather than leave the store empty.
        const std::string path = profilesFolder() + "/" + kDefaultName + ".pf";
        if (isRegularFile(path)) {
            record.filePath = path;
            record.load();
            if (record.friendlyName == "error") {
                record.friendlyName = kDefaultName;
                record.save();
            }
            giveMissingFormats(path, pluginFolder());
            commitPrepared();
            saveIndex();
            return;
        }
        // Something else has that name (a folder): use the next free file name.
        for (int k = 2; k <= kMaxDefaultAttempts; ++k) {
            record.friendlyName = std::string(kDefaultName) + " (" + std::to_string(k) + ")";
            if (givePreparedFile())
                break;
        }
        if (record.filePath.empty())
            record.filePath = profilesFolder() + "/" + record.friendlyName + ".pf";
    }
    // Write failures leave a profile in memory: the list must never be empty.
    record.save();
    writeDefaultFormats(record.filePath, chooseDefaultFormats(pluginFolder()));
    commitPrepared();
    saveIndex();
}

bool ProfileStore::saveIndex()
{
    if (isReadOnly())
        return false;
    SettingsFile& file = index();
    file.setInt(kNumKey, m_count);
    for (int i = 0; i < m_count; ++i)
        file.setString(indexKey(i), std::string(fileNamePart(m_records[size_t(i)]->filePath)));
    return file.flush();
}

} // namespace moxel
