#include "sources/PictureRotation.h"

extern "C" {
#include <libavutil/display.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

namespace moxel {
namespace {

// Pixels per side of the tiles a quarter turn walks in: 32 source rows of
// 128 bytes stay in the first-level cache.
constexpr int kTile = 32;

} // namespace

int streamRotation(const AVStream* stream)
{
    if (!stream)
        return 0;
    size_t size = 0;
    const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t))
        return 0;
    int32_t values[9];
    std::memcpy(values, matrix, sizeof values);
    // The matrix's angle is counterclockwise; players turn the other way round.
    const double clockwise = -av_display_rotation_get(values);
    if (!std::isfinite(clockwise))
        return 0;
    const double quarters = std::round(clockwise / 90.0);
    if (std::fabs(clockwise - quarters * 90.0) > 2.0)
        return 0;
    return ((int(quarters) % 4 + 4) % 4) * 90;
}

void turnUpright(const uint8_t* source, int width, int height, ptrdiff_t stride, int rotation,
                 uint8_t* picture)
{
    const ptrdiff_t pixel = 4;
    const int outWidth = swapsSides(rotation) ? height : width;
    const int outHeight = swapsSides(rotation) ? width : height;
    const size_t outRowBytes = size_t(outWidth) * 4;

    if (rotation != 90 && rotation != 180 && rotation != 270) {
        // Only the row order changes.
        for (int row = 0; row < height; ++row)
            std::memcpy(picture + size_t(row) * outRowBytes, source + (height - 1 - row) * stride,
                        outRowBytes);
        return;
    }

    // The source pixel of output column x in output memory row r is at
    // origin + x * stepX + r * stepRow: the upright picture's row r counted
    // from the bottom, read from the coded picture turned back.
    const uint8_t* origin = source;
    ptrdiff_t stepX = 0, stepRow = 0;
    if (rotation == 180) {
        origin = source + (width - 1) * pixel;
        stepX = -pixel;
        stepRow = stride;
    } else if (rotation == 90) {
        origin = source + (height - 1) * stride + (width - 1) * pixel;
        stepX = -stride;
        stepRow = -pixel;
    } else {
        stepX = stride;
        stepRow = pixel;
    }
    for (int r0 = 0; r0 < outHeight; r0 += kTile) {
        const int r1 = std::min(outHeight, r0 + kTile);
        for (int x0 = 0; x0 < outWidth; x0 += kTile) {
            const int x1 = std::min(outWidth, x0 + kTile);
            for (int r = r0; r < r1; ++r) {
                uint8_t* out = picture + size_t(r) * outRowBytes + size_t(x0) * 4;
                const uint8_t* in = origin + r * stepRow + x0 * stepX;
                for (int x = x0; x < x1; ++x, out += 4, in += stepX)
                    std::memcpy(out, in, 4);
            }
        }
    }
}

} // namespace moxel
