// The flash/beep sources of the sync checks, made with the ffmpeg command
// from one lavfi graph (so the streams keep their relative start times).
//
// Every source is 9 s on its timeline. Pictures (160 x 120) are dark grey
// but for one white picture at each event; the sound is silent but for a
// 40 ms 1 kHz beep (half of full scale) starting at each event. Events fall
// every 2 s from 2 s (2, 4, 6, 8): on a picture slot at every rate used,
// and clear of the moments where a stream starts, a rate changes or the
// sound has a hole. A converter keeps sync when each beep still starts
// where its flash is shown, whatever it does about streams that start late
// or have holes.
#pragma once

#include <string>
#include <vector>

namespace moxel::test {

inline constexpr double kSyncClipSeconds = 9.0;
inline constexpr double kSyncBeepSeconds = 0.04;
inline constexpr double kSyncBeepAmplitude = 0.5;

struct SyncSource {
    std::string name; // letters, digits and underscores: also a test name
    std::string file; // its extension picks the container (and ".mov" the movie source)
    int fps = 0;      // pictures per second; 0: no picture stream
    int laterFps = 0; // when not 0, the rate from kSyncRateChangeSeconds on (variable rate)
    double picturesFrom = 0.0; // time of the first picture
    double soundFrom = 0.0;    // time of the first sound sample
    double gapFrom = 0.0;      // a hole in the sound, [gapFrom, gapTo); none when gapTo is 0
    double gapTo = 0.0;
    int sampleRate = 44100;
    int channels = 1;
    std::vector<std::string> videoOptions; // ffmpeg output options of the picture stream
    std::vector<std::string> audioOptions; // of the sound stream

    bool hasPictures() const { return fps > 0; }
    double pictureSeconds() const { return hasPictures() ? kSyncClipSeconds - picturesFrom : 0.0; }
    // From the first sound sample to the last, a hole included.
    double soundSeconds() const { return kSyncClipSeconds - soundFrom; }
};

inline constexpr double kSyncRateChangeSeconds = 5.0;

// The event times on the source's timeline.
std::vector<double> syncEventTimes();

// Every source kind: with pictures first, then one per sound format the
// sources read.
const std::vector<SyncSource>& syncSources();

// The ffmpeg arguments (without the program) that write source as path.
std::vector<std::string> syncClipArguments(const SyncSource& source, const std::string& path);

// Writes the source into folder with the ffmpeg program; its path, or empty
// with the reason in *error.
std::string writeSyncClip(const SyncSource& source, const std::string& folder, std::string* error);

} // namespace moxel::test
