#include "container/FrameRateCode.h"

#include <cmath>

namespace moxel {

double decodeFrameRate(uint8_t code)
{
    if (code < 128)
        return double(code);
    static constexpr double kBase[4] = {30.0, 30000.0 / 1001.0, 25.0, 24000.0 / 1001.0};
    int t = (code >> 2) & 31;
    double base = kBase[code & 3];
    if (t < 16)
        return (1.0 / (t + 1)) * base;
    return (t - 15) * base;
}

uint8_t encodeFrameRate(double rate)
{
    double bestDiff = 1000000.0;
    uint8_t best = 0;
    for (int b = 0; b < 256; ++b) {
        double diff = std::fabs(rate - decodeFrameRate(uint8_t(b)));
        if (diff < bestDiff) {
            bestDiff = diff;
            best = uint8_t(b);
        }
    }
    return best;
}

} // namespace moxel
