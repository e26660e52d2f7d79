// Reads a finished KMF file back as a player would: frame i is shown at
// i / (the rate of its frame-rate code), and the frames' audio, joined in
// order and decoded, plays from 0 at its own sample rate. Pictures are
// reduced to their mean brightness, sound to its first channel; flashes
// and beeps are then found on those two timelines.
//
// Pictures are decoded with libavcodec's decoders of the av plug-in's video
// formats ("RGB3" is read directly); sound with the MP3 and AAC decoders, or
// taken from the "PCM " payloads behind their 4-byte headers. A frame
// without picture bytes shows the picture before it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace moxel::test {

struct SyncReadBack {
    std::string error; // empty when the file was read and decoded cleanly
    uint32_t videoFormat = 0;
    uint32_t audioFormat = 0;
    double fps = 0.0; // of the first sync frame's frame-rate code
    int frames = 0;
    std::vector<double> brightness; // per frame, 0..255; empty without pictures
    int sampleRate = 0;
    std::vector<float> sound; // first channel, full scale 1.0

    double pictureSeconds() const { return fps > 0.0 ? frames / fps : 0.0; }
    double soundSeconds() const { return sampleRate > 0 ? double(sound.size()) / sampleRate : 0.0; }
};

SyncReadBack readBackKmf(const std::string& path);

// Start times (frame index / fps) of each run of bright pictures.
std::vector<double> flashTimes(const std::vector<double>& brightness, double fps);

// Start times of each burst of loud sound after at least half a second of quiet.
std::vector<double> beepTimes(const std::vector<float>& sound, int sampleRate);

} // namespace moxel::test
