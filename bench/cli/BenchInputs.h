// What the benchmark feeds both sides: H.264 + AAC clips made with the ffmpeg
// command (a moving test picture and a 440 Hz tone, 30 fps, 44.1 kHz stereo),
// and the .pf profiles of the moxel-cli side, written into the bench's
// temporary folder.
#pragma once

#include <string>

namespace moxel::bench {

// Makes a clip of width x height and the given length at path; false (with
// the ffmpeg command's messages in log) when that fails.
bool makeClip(const std::string& path, int width, int height, int seconds, const std::string& log);

// The first seconds of an existing clip, copied without coding again.
bool cutClip(const std::string& from, const std::string& path, int seconds, const std::string& log);

struct ProfileSpec {
    int width = 0; // resized to this size
    int height = 0;
    bool filtered = true; // area average (or bilinear); false: nearest pixel
    bool lowPass = true;
    bool outputRate = false; // convert to 30 pictures a second, as the streaming profile
    const char* video = "";  // FourCC, four characters
    const char* audio = "";
    int videoKbps = 0; // with the codec settings below when not 0
    int keyint = 0;
    int speed = 0;
    int audioKbps = 0;
};

// Writes the profile to path and returns path.
std::string writeProfile(const std::string& path, const ProfileSpec& spec);

} // namespace moxel::bench
