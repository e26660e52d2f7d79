// A source's audio chain (volume and low-pass, then rate and channel
// conversion to the profile's output format), rebuilt for every input
// format the decoder announces. Used by one thread at a time: the decoder
// source's audio thread (under its audio lock) or the movie source's worker.
#pragma once

#include "pipeline/AudioFilter.h"
#include "pipeline/AudioResampler.h"

#include <cstddef>
#include <cstdint>

namespace moxel {

struct EncodingProfile;

struct AudioChain {
    AudioFilter filter;
    AudioResampler resampler;

    // Fresh states for blocks of rate, channels and bits (8 or 16).
    void rebuild(int rate, int channels, int bits, const EncodingProfile& profile);
    // Filters block in place, then converts it; out and the result as convertBlock.
    size_t process(uint8_t* block, size_t bytes, const uint8_t*& out);
};

} // namespace moxel
