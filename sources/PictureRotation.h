// The display rotation of a video stream, and turning its pictures upright.
//
// A stream may carry a display matrix that tells players to turn its
// pictures (a phone held upright records sideways pictures and says so).
// streamRotation reads it as the turn a player applies: 0, 90, 180 or 270
// degrees clockwise. Angles that are not within two degrees of a quarter
// turn, and mirroring, are ignored, as players ignore them.
//
// turnUpright copies a top-down picture of 4-byte pixels into a packed
// bottom-up picture turned by that many degrees: for 90 and 270 the result
// is height pixels wide and width pixels high. It works in square tiles so
// that the column walk of a quarter turn stays in the cache. It runs for
// every picture of a turned stream and allocates nothing.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstddef>
#include <cstdint>

namespace moxel {

int streamRotation(const AVStream* stream);

// True when rotation turns width and height around (90 and 270).
inline bool swapsSides(int rotation)
{
    return rotation == 90 || rotation == 270;
}

// source: width x height pixels, rows top-down, stride bytes from one row
// to the next. picture: the turned picture, rows packed and bottom-up.
void turnUpright(const uint8_t* source, int width, int height, ptrdiff_t stride, int rotation,
                 uint8_t* picture);

} // namespace moxel
