#include "plugins/av/AvCoderSettings.h"

#include "plugins/av/AvDiagnostic.h"
#include "profiles/IniFile.h"

#include <algorithm>

namespace moxel::av {
namespace {

struct SettingKey {
    const char* key;
    int AvCoderSettings::*field;
    int minValue;
    int maxValue;
};

// Limits: the video bit rate keeps a compressed picture well inside the
// encoder's 512 KiB room; keyint 1 makes every picture a key picture.
constexpr SettingKey kKeys[] = {
    {"video_bitrate", &AvCoderSettings::videoBitrateKbps, 32, 20000},
    {"keyint", &AvCoderSettings::keyint, 1, 1000},
    {"speed", &AvCoderSettings::speed, 0, 8},
    {"audio_bitrate", &AvCoderSettings::audioBitrateKbps, 32, 320},
};

} // namespace

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

} // namespace moxel::av
