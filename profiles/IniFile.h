// A Windows-style INI file held in memory: load once, read and change keys,
// save once. Profile files (.pf) are shared with codec plug-ins, which keep
// sections of their own there, so everything this module does not change is
// written back byte for byte. Used by EncodingProfile, KmfConfig, the profile
// editor and the codec plug-in helper.
//
// Rules:
// - section and key names match without regard to ASCII letter case; the
//   first matching section and, within it, the first matching key count;
// - a section line is '[' name ']' (blanks around the line and the name
//   ignored); a key line is name '=' value (blanks around both ignored);
//   lines before the first section belong to no section and are never read;
// - getInt: optional sign then decimal digits, stopping at the first other
//   character, modulo 2^32 seen as signed 32-bit; no digits reads as 0, but
//   an empty value ("key=") reads as the caller's default, like a missing
//   file, section or key;
// - getString: the value to the end of the line without surrounding blanks,
//   cut to maxChars; enclosing quotes are kept, so a quoted text written by
//   setString reads back exactly as written;
// - setString: an existing key is rewritten in place; a new key goes after
//   the last non-blank line of its section; a missing section goes at the end
//   of the file. Written lines end with CR LF; lines read may end with CR LF
//   or LF and keep their own ending. A value is cut at its first line break
//   so that it can never add lines of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace moxel {

class IniFile {
  public:
    IniFile() = default;
    explicit IniFile(std::string path) : m_path(std::move(path)) {}

    static IniFile load(const std::string& path); // missing/unreadable file -> empty
    // Parses bytes as the file's content (load reads them from the file).
    static IniFile fromBytes(std::string path, std::string_view bytes);

    const std::string& path() const { return m_path; }
    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;
    int getInt(std::string_view section, std::string_view key, int defaultValue) const;
    std::string getString(std::string_view section, std::string_view key,
                          std::string_view defaultValue, size_t maxChars = 32766) const;
    void setString(std::string_view section, std::string_view key, std::string_view value);
    void setUInt(std::string_view section, std::string_view key, uint32_t value); // "%u"
    // The file's content as save writes it.
    std::string bytes() const;
    bool save() const; // temp file in the same folder + rename; false on failure

  private:
    struct Line {
        std::string text; // without its line end
        std::string end;  // "\r\n", "\n" or "" (last line without an end)
    };
    // Index of the section's header line, or npos.
    size_t findSection(std::string_view section) const;
    // Index of the key's line within the section starting at header, or npos.
    size_t findKey(size_t header, std::string_view key) const;
    // One past the last line of the section starting at header.
    size_t sectionEnd(size_t header) const;
    std::optional<std::string_view> findValue(std::string_view section, std::string_view key) const;
    void insertLine(size_t index, std::string text);

    std::string m_path;
    std::vector<Line> m_lines;
};

} // namespace moxel
