#include "pipeline/FrameGeometry.h"

#include "profiles/EncodingProfile.h"

#include <climits>
#include <cstdio>

namespace moxel {
namespace {

int saturate(int64_t v)
{
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

int roundUpTo16(int v)
{
    if (v <= 0)
        return v;
    return saturate((static_cast<int64_t>(v) + 15) / 16 * 16);
}

bool sideInRange(int v)
{
    return v >= 1 && v <= kMaxPictureSide;
}

// Text is filled on refusal.
bool geometryAcceptable(int inW, int inH, int outW, int outH, const EncodingProfile& p, char* text,
                        size_t textSize)
{
    if (!sideInRange(inW) || !sideInRange(inH)) {
        std::snprintf(text, textSize,
                      "a source picture of %dx%d cannot be processed (1 to %d pixels each way)",
                      inW, inH, kMaxPictureSide);
        return false;
    }
    if (p.cropL < 0 || p.cropT < 0 || p.cropR < 0 || p.cropB < 0) {
        std::snprintf(text, textSize,
                      "crop values must not be negative (left %d, top %d, right %d, bottom %d)",
                      p.cropL, p.cropT, p.cropR, p.cropB);
        return false;
    }
    if (static_cast<int64_t>(p.cropL) + p.cropR >= inW ||
        static_cast<int64_t>(p.cropT) + p.cropB >= inH) {
        std::snprintf(
            text, textSize,
            "cropping left %d, top %d, right %d, bottom %d leaves no picture of the %dx%d source",
            p.cropL, p.cropT, p.cropR, p.cropB, inW, inH);
        return false;
    }
    if (!sideInRange(outW) || !sideInRange(outH)) {
        std::snprintf(text, textSize,
                      "an output size of %dx%d cannot be produced (1 to %d pixels each way)", outW,
                      outH, kMaxPictureSide);
        return false;
    }
    return true;
}

} // namespace

OutputSize computeOutputSize(int inW, int inH, const EncodingProfile& profile)
{
    OutputSize size;
    if (profile.resizeEnabled != 0) {
        size.width = profile.resizeWidth;
        size.height = profile.resizeHeight;
    } else {
        size.width = saturate(static_cast<int64_t>(inW) - profile.cropL - profile.cropR);
        size.height = saturate(static_cast<int64_t>(inH) - profile.cropT - profile.cropB);
    }
    if (profile.roundSizeTo16 != 0) {
        size.width = roundUpTo16(size.width);
        size.height = roundUpTo16(size.height);
    }
    return size;
}

std::string geometryProblem(int inW, int inH, int outW, int outH, const EncodingProfile& profile)
{
    char text[256];
    return geometryAcceptable(inW, inH, outW, outH, profile, text, sizeof text) ? std::string()
                                                                                : std::string(text);
}

bool makeFrameGeometry(int inW, int inH, int outW, int outH, const EncodingProfile& profile,
                       FrameGeometry& geometry)
{
    char text[256];
    if (!geometryAcceptable(inW, inH, outW, outH, profile, text, sizeof text))
        return false;
    FrameGeometry g;
    g.inW = inW;
    g.inH = inH;
    g.outW = outW;
    g.outH = outH;
    g.x0 = profile.cropL;
    g.y0 = profile.cropT;
    g.cw = inW - profile.cropL - profile.cropR;
    g.ch = inH - profile.cropT - profile.cropB;
    g.xstep = static_cast<int32_t>((static_cast<int64_t>(g.cw) * 65536) / outW);
    g.ystep = static_cast<int32_t>((static_cast<int64_t>(g.ch) * 65536) / outH);
    if (outW == g.cw && outH == g.ch)
        g.path = ResizePath::ExactCopy;
    else if (profile.filteredResize == 0)
        g.path = ResizePath::Nearest;
    else if (outW < g.cw || outH < g.ch)
        g.path = ResizePath::AreaAverage;
    else
        g.path = ResizePath::Bilinear;
    geometry = g;
    return true;
}

} // namespace moxel
