// The INI module over any text: it gives back the bytes it read unchanged,
// a key it sets reads back, setting one key leaves every other key's value
// as it was, and what it writes parses to the same values again.
#include "profiles/IniFile.h"
#include "fuzz/FuzzTarget.h"

#include <string_view>
#include <utility>
#include <vector>

namespace {

using moxel::IniFile;

struct Name {
    std::string section;
    std::string key;
};

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string lowered(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

bool sameName(const Name& a, const Name& b)
{
    return lowered(a.section) == lowered(b.section) && lowered(a.key) == lowered(b.key);
}

// Up to 16 section/key names that the text itself uses, found by the
// module's line rules, plus names it does not use.
std::vector<Name> namesIn(std::string_view text)
{
    std::vector<Name> names;
    std::string section;
    bool inSection = false;
    while (!text.empty() && names.size() < 16) {
        size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::string_view t = trimmed(line);
        size_t close = t.find(']');
        if (t.size() >= 2 && t.front() == '[' && close != std::string_view::npos) {
            section = std::string(trimmed(t.substr(1, close - 1)));
            inSection = true;
        } else if (size_t eq = line.find('='); inSection && eq != std::string_view::npos) {
            names.push_back({section, std::string(trimmed(line.substr(0, eq)))});
        }
    }
    names.push_back({section, "fuzz_new_key"});
    names.push_back({"fuzz new section", "key"});
    return names;
}

// A value from the input's bytes that keeps the format's rules: printable,
// no blanks at either end, no line break.
std::string valueFrom(std::string_view text)
{
    std::string value = "v";
    for (char c : text.substr(0, 24))
        if (c > ' ' && c < 127)
            value += c;
    return value;
}

std::vector<std::string> valuesOf(const IniFile& file, const std::vector<Name>& names)
{
    std::vector<std::string> values;
    for (const Name& n : names)
        values.push_back(file.getString(n.section, n.key, "\n(absent)"));
    return values;
}

void entry(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    IniFile file = IniFile::fromBytes("", input);
    MOXEL_FUZZ_CHECK(file.bytes() == input);

    std::vector<Name> names = namesIn(input);
    std::vector<std::string> values = valuesOf(file, names);
    for (size_t i = 0; i < names.size(); ++i) {
        MOXEL_FUZZ_CHECK(file.hasKey(names[i].section, names[i].key) == (values[i][0] != '\n'));
        file.getInt(names[i].section, names[i].key, -1);
    }

    // Set the first name found, one new key in a known section, one new section.
    // Not a key that starts with '[': a value with a ']' would make its line a
    // section line, as the format's line rules say.
    size_t found = 0;
    while (found < names.size() - 2 && names[found].key.rfind('[', 0) == 0)
        ++found;
    const size_t sets[] = {found, names.size() - 2, names.size() - 1};
    std::string value = valueFrom(input);
    for (size_t set : sets) {
        value += std::to_string(set);
        file.setString(names[set].section, names[set].key, value);
        for (size_t i = 0; i < names.size(); ++i)
            if (sameName(names[i], names[set]))
                values[i] = value;
        MOXEL_FUZZ_CHECK(valuesOf(file, names) == values);
    }

    IniFile again = IniFile::fromBytes("", file.bytes());
    MOXEL_FUZZ_CHECK(again.bytes() == file.bytes());
    MOXEL_FUZZ_CHECK(valuesOf(again, names) == values);
}

std::vector<std::string> seeds()
{
    return {
        "[kmfencpp]\r\nout_srate=44100\r\nfriendly_name=new profile\r\naudioscale=1.000\r\n"
        "[kmfconfig]\r\naudfmt=541934416\r\nmeta=\"a title\"\r\n",
        "; no section\nkey=1\n[ Mixed Case ]\n  Key  =  value  \n\n[other]\nx=4294967196\n",
        "[a]\nk=1\n[A]\nk=2\n[b]\nlast=no line end",
        "[s]\r\nk=v\r\r\n=empty key\n[t]x\n",
    };
}

} // namespace

MOXEL_FUZZ_TARGET(entry, seeds);
