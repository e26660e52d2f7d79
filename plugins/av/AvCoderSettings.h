// The plug-in's own settings, kept in the profile (.pf) file in section
// "kmf_coder_av". CreateVideo3/CreateAudio3 read them once for each coder
// and the settings panels write them; an absent file, section or key
// gives the default, and a value out of range is brought to
// the nearest limit (with a diagnostic), so creation never fails on them.
// The defaults aim at live streaming at sizes up to about 640x360.
#pragma once

namespace moxel::av {

inline constexpr const char* kSettingsSection = "kmf_coder_av";

struct AvCoderSettings {
    int videoBitrateKbps = 800; // video_bitrate: target video bit rate, kbit/s
    int keyint = 60;            // keyint: pictures from one key picture to the next
    int speed = 5;              // speed: 0 slowest and best .. 8 fastest
    int audioBitrateKbps = 128; // audio_bitrate: audio bit rate, kbit/s

    // The keys of the video panel (video_bitrate, keyint, speed) or of the
    // audio panel (audio_bitrate).
    enum class Part { Video, Audio };

    struct Range {
        int minValue;
        int maxValue;
    };
    // The limits of one of the four fields above.
    static Range rangeOf(int AvCoderSettings::*field);

    // Reads the section from the profile file; a null or empty path gives the defaults.
    static AvCoderSettings load(const char* profilePath);
    // Writes the keys of one part, each brought within its limits; every
    // other key and section of the file stays as it was. False when the file
    // could not be written or the path is null or empty.
    bool save(const char* profilePath, Part part) const;
};

} // namespace moxel::av
