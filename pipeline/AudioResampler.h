// Sample-rate and channel conversion of filtered PCM blocks to the profile's
// out_srate and out_channels as 16-bit signed little-endian samples: the
// only audio format the encoder is given. One AudioResampler per source,
// created at open and replaced on an audio format change; used by one thread
// at a time.
//
// Running totals of input and output sample frames make the output exactly
// floor(inFrames x outRate / inRate) frames long after any sequence of block
// sizes. There is no interpolation: each output frame copies the input frame
// under a 32.32 fixed-point read position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace moxel {

struct AudioResampler {
    uint64_t position = 0; // 32.32 fixed point, input sample frames into the block
    int64_t inTotal = 0;   // input sample frames since creation
    int64_t outTotal = 0;  // output sample frames since creation
    int inRate = 0, inChannels = 0, inBits = 0;
    int outRate = 0, outChannels = 0;
    std::vector<uint8_t> buffer; // output buffer; its size is the capacity
};

AudioResampler createResampler(int inRate, int inChannels, int inBits, int outRate,
                               int outChannels);

// Converts one block. `out` is set to the converted data: the resampler's
// buffer, or the input block itself where the conversion works in place or
// changes nothing. The data stays valid until the next call. Returns its
// length in bytes, always even. Blocks of widths other than 8 and 16 bits come
// back unchanged; rates or channel counts below 1 give no audio.
size_t convertBlock(AudioResampler& resampler, uint8_t* input, size_t bytes, const uint8_t*& out);

} // namespace moxel
