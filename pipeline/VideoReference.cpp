#include "pipeline/VideoReference.h"

#include "pipeline/FrameGeometry.h"
#include "pipeline/PixelWords.h"
#include "pipeline/VideoTables.h"
#include "profiles/EncodingProfile.h"

#include <algorithm>
#include <cstring>

namespace moxel {
namespace {

using pixel::avg;
using pixel::load32;
using pixel::store32;

struct Picture {
    uint8_t* data;
    int width;
    uint8_t* at(int x, int y) const { return data + (static_cast<size_t>(y) * width + x) * 4; }
};

// Returns the picture the resize step reads.
uint8_t* deinterlace(uint8_t* src, uint8_t* scratch, int w, int h, Deinterlace mode)
{
    if (mode == Deinterlace::Off || h < 3)
        return src;
    const Picture in{src, w};
    if (mode == Deinterlace::HighQuality) {
        const Picture out{scratch, w};
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                uint32_t v;
                if (y == 0)
                    v = avg(load32(in.at(x, 0)), load32(in.at(x, 1)));
                else if (y == h - 1)
                    v = avg(load32(in.at(x, h - 2)), load32(in.at(x, h - 1)));
                else
                    v = avg(avg(load32(in.at(x, y + 1)), load32(in.at(x, y - 1))),
                            load32(in.at(x, y)));
                store32(out.at(x, y), v);
            }
        }
        return scratch;
    }
    for (int k = 0; k < h / 2; ++k)
        std::memcpy(in.at(0, 2 * k + 1), in.at(0, 2 * k), static_cast<size_t>(w) * 4);
    return src;
}

void exactCopy(const Picture& in, const Picture& out, const FrameGeometry& g)
{
    for (int r = 0; r < g.outH; ++r)
        std::memcpy(out.at(0, r), in.at(g.x0, g.y0 + r), static_cast<size_t>(g.cw) * 4);
}

void nearest(const Picture& in, const Picture& out, const FrameGeometry& g)
{
    int32_t y = g.y0 * 65536;
    for (int r = 0; r < g.outH; ++r, y += g.ystep) {
        const int sy = std::min(y >> 16, g.inH - 1);
        int32_t x = g.x0 * 65536;
        for (int c = 0; c < g.outW; ++c, x += g.xstep)
            std::memcpy(out.at(c, r), in.at(x >> 16, sy), 4);
    }
}

void areaAverage(const Picture& in, const Picture& out, const FrameGeometry& g)
{
    int32_t y = g.y0 * 65536;
    for (int r = 0; r < g.outH; ++r, y += g.ystep) {
        const int32_t y1 = y + g.ystep;
        int32_t x = g.x0 * 65536;
        for (int c = 0; c < g.outW; ++c, x += g.xstep) {
            const int32_t x1 = x + g.xstep;
            uint64_t sum[4] = {0, 0, 0, 0};
            uint64_t wsum = 0;
            for (int32_t py = y; py < y1; py += 65536) {
                const uint32_t wy = py == y           ? 65535u - (y & 0xFFFF)
                                    : y1 - py < 65536 ? static_cast<uint32_t>((y1 - py) & 0xFFFF)
                                                      : 65535u;
                for (int32_t px = x; px < x1; px += 65536) {
                    const uint32_t w =
                        px == x           ? ((65535u - (x & 0xFFFF)) * wy) >> 16
                        : x1 - px < 65536 ? ((static_cast<uint32_t>((x1 - px) & 0xFFFF)) * wy) >> 16
                                          : wy;
                    const uint8_t* p = in.at(px >> 16, py >> 16);
                    for (int k = 0; k < 4; ++k)
                        sum[k] += static_cast<uint64_t>(p[k]) * w;
                    wsum += w;
                }
            }
            uint8_t* d = out.at(c, r);
            if (wsum == 0) {
                // All coverage weights truncated to 0: the footprint still
                // lies on the pixel it starts in, so that pixel is the average
                // (an all-zero divide would turn it black).
                std::memcpy(d, in.at(x >> 16, y >> 16), 4);
                continue;
            }
            for (int k = 0; k < 4; ++k)
                d[k] = static_cast<uint8_t>(sum[k] / wsum);
        }
    }
}

void bilinear(const Picture& in, const Picture& out, const FrameGeometry& g,
              BilinearFormula formula)
{
    const uint8_t* T = blendTable();
    auto t = [T](int a, int b) { return static_cast<int>(T[a * 256 + b]); };
    const int32_t lastFull = (g.inW - 2) * 65536;
    int32_t y = g.y0 * 65536;
    for (int r = 0; r < g.outH; ++r, y += g.ystep) {
        const int sy = y >> 16;
        const int fy = (y >> 8) & 0xFF;
        int32_t x = g.x0 * 65536;
        if (sy >= g.inH - 1) {
            for (int c = 0; c < g.outW; ++c, x += g.xstep)
                std::memcpy(out.at(c, r), in.at(x >> 16, g.inH - 1), 4);
            continue;
        }
        for (int c = 0; c < g.outW; ++c, x += g.xstep) {
            const bool pastLast = x > lastFull;
            // A one-column source has no second-to-last column: both
            // neighbours are column 0 instead of column -1.
            const int sx = pastLast ? std::max(g.inW - 2, 0) : x >> 16;
            const int sx1 = std::min(sx + 1, g.inW - 1);
            const int fx = pastLast ? 255 : (x >> 8) & 0xFF;
            const uint8_t* p00 = in.at(sx, sy);
            const uint8_t* p01 = in.at(sx1, sy);
            const uint8_t* p10 = in.at(sx, sy + 1);
            const uint8_t* p11 = in.at(sx1, sy + 1);
            uint8_t* d = out.at(c, r);
            for (int k = 0; k < 4; ++k) {
                int v;
                if (formula == BilinearFormula::Packed) {
                    const int top = (p00[k] * (256 - fx) + p01[k] * fx) >> 8;
                    const int bottom = (p10[k] * (256 - fx) + p11[k] * fx) >> 8;
                    v = std::min((top * (256 - fy) + bottom * fy) >> 8, 255);
                } else if (pastLast) {
                    v = t(p01[k], t(255, 255 - fy)) + t(p11[k], t(255, fy));
                } else {
                    v = t(p00[k], t(255 - fx, 255 - fy)) + t(p01[k], t(fx, 255 - fy)) +
                        t(p10[k], t(255 - fx, fy)) + t(p11[k], t(fx, fy));
                }
                d[k] = static_cast<uint8_t>(v);
            }
        }
    }
}

} // namespace

void processFrameReference(uint8_t* src, uint8_t* dst, int inW, int inH, int outW, int outH,
                           uint8_t* scratch, const EncodingProfile& profile,
                           BilinearFormula formula)
{
    FrameGeometry g;
    if (!makeFrameGeometry(inW, inH, outW, outH, profile, g))
        return;
    const Picture in{deinterlace(src, scratch, inW, inH, profile.deinterlace), inW};
    const Picture out{dst, outW};
    switch (g.path) {
    case ResizePath::ExactCopy:
        exactCopy(in, out, g);
        break;
    case ResizePath::Nearest:
        nearest(in, out, g);
        break;
    case ResizePath::AreaAverage:
        areaAverage(in, out, g);
        break;
    case ResizePath::Bilinear:
        bilinear(in, out, g, formula);
        break;
    }
}

} // namespace moxel
