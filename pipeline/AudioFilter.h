// Volume multiplier and optional low-pass filter applied, in place, to every
// block of decoded 16-bit PCM at the input sample rate. One AudioFilter per
// source, created at open and replaced when the decoder announces a new audio
// format; used by one thread at a time (the thread delivering audio blocks).
#pragma once

#include <cstddef>
#include <cstdint>

namespace moxel {

struct EncodingProfile;

struct AudioFilterState {
    float b2 = 0.0f, b1 = 0.0f, a = 0.0f; // coefficients
    float w1 = 0.0f, w2 = 0.0f;           // history
};

struct AudioFilter {
    AudioFilterState coef[2]; // one per channel; the second starts as a copy of the first
    int lowpassOn = 0;
    double scale = 1.0;
    int scaleOn = 0;
    int channels = 0;
    int bits = 0;
};

// The low-pass runs only when the profile asks for it and the output rate is
// below inRate; its corner is the output's Nyquist frequency.
AudioFilter createAudioFilter(int inRate, int inChannels, int inBits,
                              const EncodingProfile& profile);

// Filters and scales interleaved 16-bit little-endian samples in place
// (whole samples of the block; a trailing odd byte is left alone). 8-bit
// blocks pass unchanged. The low-pass needs 1 or 2 channels: with any other
// count only the multiplier applies.
void filterBlock(AudioFilter& filter, uint8_t* samples, size_t bytes);

} // namespace moxel
