// The settings file loaded from any bytes: numbers read as the text they
// come from, and flushing then loading again gives every key the value it
// had (up to its first line break, which the file cannot carry).
#include "settings/SettingsFile.h"
#include "fuzz/FuzzTarget.h"
#include "fuzz/ScratchFolder.h"
#include "profiles/TextNumbers.h"

#include <string_view>
#include <vector>

namespace {

using moxel::SettingsFile;

// Up to 16 keys the bytes use (the text before a line's first '='), plus one
// they do not.
std::vector<std::string> keysIn(std::string_view text)
{
    std::vector<std::string> keys;
    while (!text.empty() && keys.size() < 16) {
        size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        size_t eq = line.find('=');
        if (eq != std::string_view::npos)
            keys.emplace_back(line.substr(0, eq));
    }
    keys.emplace_back("fuzz_key");
    return keys;
}

std::string oneLine(const std::string& value)
{
    return value.substr(0, value.find_first_of("\r\n"));
}

void entry(const uint8_t* data, size_t size)
{
    static const std::string path = moxel::fuzz::scratchPath("moxel.ini");
    moxel::fuzz::writeScratch(path, data, size);
    std::vector<std::string> keys = keysIn({reinterpret_cast<const char*>(data), size});

    std::vector<std::string> values;
    {
        SettingsFile settings(path);
        MOXEL_FUZZ_CHECK(!settings.isDirty());
        for (const std::string& key : keys) {
            std::string value = settings.getString(key, "\n(absent)");
            int number = settings.getInt(key, -7);
            bool absent = value == "\n(absent)";
            MOXEL_FUZZ_CHECK(number ==
                             (absent || value.empty() ? -7 : moxel::parseLeadingInt32(value)));
            values.push_back(absent ? value : oneLine(value));
        }
        settings.setInt("fuzz_key", int(size));
        for (size_t i = 0; i < keys.size(); ++i)
            if (keys[i] == "fuzz_key")
                values[i] = std::to_string(size);
        MOXEL_FUZZ_CHECK(settings.flush());
        MOXEL_FUZZ_CHECK(!settings.isDirty());
    }
    SettingsFile again(path);
    for (size_t i = 0; i < keys.size(); ++i)
        MOXEL_FUZZ_CHECK(again.getString(keys[i], "\n(absent)") == values[i]);
    MOXEL_FUZZ_CHECK(!again.isDirty());
}

std::vector<std::string> seeds()
{
    return {
        "[config]\nprefs_priority=2\nlast_output_dir=/home/user/videos\nconfirmquit=1\n",
        "[config]\r\nverylongkeynamethatiscut=1\r\n=empty "
        "key\r\nk=a=b\r\n[ignored]\r\nnoequals\r\n",
        std::string(5000, 'x') + "=long\nafter=1",
    };
}

} // namespace

MOXEL_FUZZ_TARGET(entry, seeds);
