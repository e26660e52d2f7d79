#include "settings/SettingsFile.h"

#include "profiles/AtomicFile.h"
#include "profiles/TextNumbers.h"

#include <fstream>
#include <iterator>

namespace moxel {

namespace {

std::string_view significantKey(std::string_view key)
{
    return key.substr(0, SettingsFile::kKeyChars);
}

} // namespace

SettingsFile::SettingsFile(std::string path) : m_path(std::move(path))
{
    std::ifstream in(m_path, std::ios::binary);
    if (!in)
        return;
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    std::string_view rest = bytes;
    std::lock_guard lock(m_mutex);
    while (!rest.empty()) {
        // A piece ends after its line feed or after kLinePieceChars characters.
        size_t length = std::min(rest.size(), kLinePieceChars);
        size_t lf = rest.substr(0, length).find('\n');
        if (lf != std::string_view::npos)
            length = lf + 1;
        std::string_view line = rest.substr(0, length);
        rest.remove_prefix(length);

        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        size_t eq = line.find('=');
        if (!line.empty() && line.front() != '[' && eq != std::string_view::npos)
            setLocked(line.substr(0, eq), line.substr(eq + 1));
    }
    m_dirty = false;
}

SettingsFile::~SettingsFile()
{
    flush();
}

size_t SettingsFile::findLocked(std::string_view key) const
{
    key = significantKey(key);
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].first == key)
            return i;
    return kNotFound;
}

std::string SettingsFile::getString(std::string_view key, std::string_view defaultValue) const
{
    std::lock_guard lock(m_mutex);
    size_t i = findLocked(key);
    return std::string(i != kNotFound ? std::string_view(m_entries[i].second) : defaultValue);
}

int SettingsFile::getInt(std::string_view key, int defaultValue) const
{
    std::lock_guard lock(m_mutex);
    size_t i = findLocked(key);
    if (i == kNotFound || m_entries[i].second.empty())
        return defaultValue;
    return parseLeadingInt32(m_entries[i].second);
}

void SettingsFile::setLocked(std::string_view key, std::string_view value)
{
    m_dirty = true;
    size_t i = findLocked(key);
    if (i != kNotFound)
        m_entries[i].second = value;
    else
        m_entries.emplace_back(significantKey(key), value);
}

void SettingsFile::setString(std::string_view key, std::string_view value)
{
    std::lock_guard lock(m_mutex);
    setLocked(key, value);
}

void SettingsFile::setInt(std::string_view key, int value)
{
    setString(key, std::to_string(value));
}

bool SettingsFile::isDirty() const
{
    std::lock_guard lock(m_mutex);
    return m_dirty;
}

void SettingsFile::setReadOnly()
{
    std::lock_guard lock(m_mutex);
    m_readOnly = true;
}

bool SettingsFile::flush()
{
    std::lock_guard lock(m_mutex);
    if (!m_dirty)
        return true;
    if (m_readOnly)
        return false;
    std::string bytes = "[config]\r\n";
    for (const Entry& entry : m_entries) {
        std::string_view value = entry.second;
        bytes += entry.first;
        bytes += '=';
        bytes += value.substr(0, value.find_first_of("\r\n"));
        bytes += "\r\n";
    }
    if (!writeFileAtomically(m_path, bytes))
        return false;
    m_dirty = false;
    return true;
}

} // namespace moxel
