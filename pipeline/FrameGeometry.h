// The output-size rule and the fixed-point geometry of one source's pictures:
// crop window, output size, 16.16 steps and the resize path. Sources call
// computeOutputSize and validateProcessing once when they open; processFrame
// rebuilds the geometry per picture (it is a handful of integer operations).
#pragma once

#include <cstdint>
#include <string>

namespace moxel {

struct EncodingProfile;

// Sides of pictures the 16.16 arithmetic can carry.
constexpr int kMaxPictureSide = 32767;

struct OutputSize {
    int width = 0;
    int height = 0;
};

// Output-size rule: the crop window, or (resizeWidth, resizeHeight) with
// resizeEnabled, each raised to a multiple of 16 with roundSizeTo16. Values
// are saturated to the int range, never wrapped; validateProcessing refuses what cannot be used.
OutputSize computeOutputSize(int inW, int inH, const EncodingProfile& profile);

// Why a picture of inW x inH cannot be processed into outW x outH with the
// profile's crops (sides outside 1..32767, negative crops, crops that leave
// no pixel); empty when it can.
std::string geometryProblem(int inW, int inH, int outW, int outH, const EncodingProfile& profile);

enum class ResizePath { ExactCopy, Nearest, AreaAverage, Bilinear };

struct FrameGeometry {
    int inW = 0, inH = 0;   // source picture
    int outW = 0, outH = 0; // destination picture
    int x0 = 0, y0 = 0;     // crop window origin (first column, first row in memory)
    int cw = 0, ch = 0;     // crop window size
    int32_t xstep = 0;      // 16.16 source columns per destination column
    int32_t ystep = 0;      // 16.16 source rows per destination row
    ResizePath path = ResizePath::ExactCopy;
};

// Fills geometry for processFrame; false (geometry untouched) when
// geometryProblem reports one, so nothing is read or written.
bool makeFrameGeometry(int inW, int inH, int outW, int outH, const EncodingProfile& profile,
                       FrameGeometry& geometry);

} // namespace moxel
