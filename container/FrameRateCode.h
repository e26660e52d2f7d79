// The one-byte frame-rate code of a sync frame.
//   b < 128: b frames per second.
//   b >= 128: t = (b >> 2) & 31, base = {30, 30000/1001, 25, 24000/1001}[b & 3];
//             the rate is base / (t + 1) for t < 16, else base * (t - 15).
#pragma once

#include <cstdint>

namespace moxel {

double decodeFrameRate(uint8_t code);

// The code whose rate is nearest to `rate`; ties go to the lowest code.
// 0 (invalid) when nothing is nearer than code 0's rate of 0 fps.
uint8_t encodeFrameRate(double rate);

} // namespace moxel
