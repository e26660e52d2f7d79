// Plain scalar version of the whole picture stage, written pixel by pixel as
// the integer arithmetic is defined. It is the yardstick the fast paths of
// processFrame are tested against, and the path taken when the processor has
// no packed integers. Same contract as processFrame (see VideoProcessing.h).
#pragma once

#include <cstdint>

namespace moxel {

struct EncodingProfile;

enum class BilinearFormula {
    Packed, // 16-bit lanes, three >> 8 steps
    Table,  // the four BlendTable look-ups per byte
};

void processFrameReference(uint8_t* src, uint8_t* dst, int inW, int inH, int outW, int outH,
                           uint8_t* scratch, const EncodingProfile& profile,
                           BilinearFormula formula);

} // namespace moxel
