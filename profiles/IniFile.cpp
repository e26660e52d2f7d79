#include "profiles/IniFile.h"

#include "profiles/AtomicFile.h"
#include "profiles/TextNumbers.h"

#include <fstream>
#include <iterator>

namespace moxel {

namespace {

constexpr size_t npos = std::string::npos;
const char* const kLineEnd = "\r\n";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// The name of a section line "[name]", or nothing for any other line.
std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trim(line);
    if (line.size() < 2 || line.front() != '[')
        return std::nullopt;
    size_t close = line.find(']');
    if (close == npos)
        return std::nullopt;
    return trim(line.substr(1, close - 1));
}

struct KeyValue {
    std::string_view name;
    std::string_view value;
};

std::optional<KeyValue> keyValue(std::string_view line)
{
    size_t eq = line.find('=');
    if (eq == npos)
        return std::nullopt;
    return KeyValue{trim(line.substr(0, eq)), trim(line.substr(eq + 1))};
}

// A value up to its first line break: a value can never add lines.
std::string_view oneLine(std::string_view value)
{
    return value.substr(0, value.find_first_of("\r\n"));
}

std::string keyLine(std::string_view key, std::string_view value)
{
    std::string line(key);
    line += '=';
    line += oneLine(value);
    return line;
}

} // namespace

IniFile IniFile::load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    if (in)
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return fromBytes(path, bytes);
}

IniFile IniFile::fromBytes(std::string path, std::string_view bytes)
{
    IniFile file(std::move(path));
    while (!bytes.empty()) {
        size_t lf = bytes.find('\n');
        Line line;
        if (lf == npos) {
            line.text = std::string(bytes);
            bytes = {};
        } else {
            size_t textEnd = lf > 0 && bytes[lf - 1] == '\r' ? lf - 1 : lf;
            line.text = std::string(bytes.substr(0, textEnd));
            line.end = std::string(bytes.substr(textEnd, lf + 1 - textEnd));
            bytes.remove_prefix(lf + 1);
        }
        file.m_lines.push_back(std::move(line));
    }
    return file;
}

size_t IniFile::findSection(std::string_view section) const
{
    for (size_t i = 0; i < m_lines.size(); ++i) {
        auto name = sectionName(m_lines[i].text);
        if (name && sameName(*name, section))
            return i;
    }
    return npos;
}

size_t IniFile::sectionEnd(size_t header) const
{
    size_t i = header + 1;
    while (i < m_lines.size() && !sectionName(m_lines[i].text))
        ++i;
    return i;
}

size_t IniFile::findKey(size_t header, std::string_view key) const
{
    size_t end = sectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        auto kv = keyValue(m_lines[i].text);
        if (kv && sameName(kv->name, key))
            return i;
    }
    return npos;
}

std::optional<std::string_view> IniFile::findValue(std::string_view section,
                                                   std::string_view key) const
{
    size_t header = findSection(section);
    if (header == npos)
        return std::nullopt;
    size_t line = findKey(header, key);
    if (line == npos)
        return std::nullopt;
    return keyValue(m_lines[line].text)->value;
}

bool IniFile::hasSection(std::string_view section) const
{
    return findSection(section) != npos;
}

bool IniFile::hasKey(std::string_view section, std::string_view key) const
{
    return findValue(section, key).has_value();
}

int IniFile::getInt(std::string_view section, std::string_view key, int defaultValue) const
{
    auto value = findValue(section, key);
    if (!value || value->empty())
        return defaultValue;
    return parseLeadingInt32(*value);
}

std::string IniFile::getString(std::string_view section, std::string_view key,
                               std::string_view defaultValue, size_t maxChars) const
{
    std::string_view text = findValue(section, key).value_or(defaultValue);
    return std::string(text.substr(0, maxChars));
}

void IniFile::insertLine(size_t index, std::string text)
{
    // The line before gets an end of its own if it was the file's unended last line.
    if (index > 0 && m_lines[index - 1].end.empty())
        m_lines[index - 1].end = kLineEnd;
    m_lines.insert(m_lines.begin() + std::ptrdiff_t(index), Line{std::move(text), kLineEnd});
}

void IniFile::setString(std::string_view section, std::string_view key, std::string_view value)
{
    size_t header = findSection(section);
    if (header == npos) {
        insertLine(m_lines.size(), "[" + std::string(section) + "]");
        insertLine(m_lines.size(), keyLine(key, value));
        return;
    }
    size_t line = findKey(header, key);
    if (line != npos) {
        // Only the value changes: the key keeps its spelling and spacing.
        std::string& text = m_lines[line].text;
        text.resize(text.find('=') + 1);
        text += oneLine(value);
        m_lines[line].end = kLineEnd;
        return;
    }
    size_t insertAt = sectionEnd(header);
    while (insertAt > header + 1 && trim(m_lines[insertAt - 1].text).empty())
        --insertAt;
    insertLine(insertAt, keyLine(key, value));
}

void IniFile::setUInt(std::string_view section, std::string_view key, uint32_t value)
{
    setString(section, key, std::to_string(value));
}

std::string IniFile::bytes() const
{
    std::string out;
    for (const Line& line : m_lines) {
        out += line.text;
        out += line.end;
    }
    return out;
}

bool IniFile::save() const
{
    return writeFileAtomically(m_path, bytes());
}

} // namespace moxel
