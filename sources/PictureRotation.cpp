#include "sources/PictureRotation.h"

#include "pipeline/PixelWords.h"

extern "C" {
#include <libavutil/display.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

namespace moxel {
namespace {

// Pixels per side of the tiles a quarter turn walks in: each tile reads
// eight source runs of 32 bytes and writes eight output runs of 32 bytes.
constexpr int kTile = 8;

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

    if (rotation == 180) {
        // Output row r is source row r read from its end.
        for (int row = 0; row < height; ++row) {
            uint8_t* out = picture + size_t(row) * outRowBytes;
            const uint8_t* in = source + row * stride + (width - 1) * pixel;
            for (int x = 0; x < width; ++x)
                pixel::store32(out + x * pixel, pixel::load32(in - x * pixel));
        }
        return;
    }
    if (rotation != 90 && rotation != 270) {
        // Only the row order changes.
        for (int row = 0; row < height; ++row)
            std::memcpy(picture + size_t(row) * outRowBytes, source + (height - 1 - row) * stride,
                        outRowBytes);
        return;
    }

    // The source pixel of output column x in output memory row r is at
    // origin + x * stepX + r * stepRow: output rows run along source rows,
    // output columns down (90) or up (270) the source columns.
    const uint8_t* origin = source;
    ptrdiff_t stepX = stride, stepRow = pixel;
    if (rotation == 90) {
        origin = source + (height - 1) * stride + (width - 1) * pixel;
        stepX = -stride;
        stepRow = -pixel;
    }
    for (int r0 = 0; r0 < outHeight; r0 += kTile) {
        const int r1 = std::min(outHeight, r0 + kTile);
        for (int x0 = 0; x0 < outWidth; x0 += kTile) {
            const int x1 = std::min(outWidth, x0 + kTile);
            for (int x = x0; x < x1; ++x) {
                const uint8_t* in = origin + x * stepX + r0 * stepRow;
                uint8_t* out = picture + size_t(r0) * outRowBytes + size_t(x) * 4;
                for (int r = r0; r < r1; ++r, in += stepRow, out += outRowBytes)
                    pixel::store32(out, pixel::load32(in));
            }
        }
    }
}

} // namespace moxel
