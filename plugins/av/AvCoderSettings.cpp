#include "plugins/av/AvCoderSettings.h"

#include "plugins/av/AvDiagnostic.h"
#include "profiles/IniFile.h"

#include <algorithm>
#include <cstdint>

namespace moxel::av {
namespace {

struct SettingKey {
    const char* key;
    int AvCoderSettings::*field;
    int minValue;
    int maxValue;
    AvCoderSettings::Part part;
};

// Limits: the video bit rate keeps a compressed picture well inside the
// encoder's 512 KiB room; keyint 1 makes every picture a key picture.
constexpr SettingKey kKeys[] = {
    {"video_bitrate", &AvCoderSettings::videoBitrateKbps, 32, 20000, AvCoderSettings::Part::Video},
    {"keyint", &AvCoderSettings::keyint, 1, 1000, AvCoderSettings::Part::Video},
    {"speed", &AvCoderSettings::speed, 0, 8, AvCoderSettings::Part::Video},
    {"audio_bitrate", &AvCoderSettings::audioBitrateKbps, 32, 320, AvCoderSettings::Part::Audio},
};

} // namespace

AvCoderSettings::Range AvCoderSettings::rangeOf(int AvCoderSettings::*field)
{
    for (const SettingKey& k : kKeys)
        if (k.field == field)
            return {k.minValue, k.maxValue};
    return {0, 0};
}

AvCoderSettings AvCoderSettings::load(const char* profilePath)
{
    AvCoderSettings s;
    if (profilePath == nullptr || *profilePath == '\0')
        return s;
    const IniFile ini = IniFile::load(profilePath);
    for (const SettingKey& k : kKeys) {
        const int value = ini.getInt(kSettingsSection, k.key, s.*k.field);
        s.*k.field = std::clamp(value, k.minValue, k.maxValue);
        if (s.*k.field != value)
            diagnostic("%s=%d in %s is out of range, using %d", k.key, value, profilePath,
                       s.*k.field);
    }
    return s;
}

bool AvCoderSettings::save(const char* profilePath, Part part) const
{
    if (profilePath == nullptr || *profilePath == '\0')
        return false;
    IniFile ini = IniFile::load(profilePath);
    for (const SettingKey& k : kKeys)
        if (k.part == part)
            ini.setUInt(kSettingsSection, k.key,
                        uint32_t(std::clamp(this->*k.field, k.minValue, k.maxValue)));
    if (ini.save())
        return true;
    diagnostic("cannot write the settings to %s", profilePath);
    return false;
}

} // namespace moxel::av
