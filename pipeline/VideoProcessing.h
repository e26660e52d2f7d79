// The picture stage: deinterlace, crop and resize one decoded picture into
// one output picture, in a single call. Called by the sources for every
// picture they keep (the decoder source on its decoding thread, the
// movie source on the worker). Pictures are 4 bytes per pixel (blue,
// green, red, undefined), rows packed and bottom-up; the caller owns every
// buffer: source and scratch inW x inH x 4 bytes, destination outW x outH x 4.
//
// processFrame keeps no state between calls apart from a per-thread
// workspace of column tables that is rebuilt only when the geometry changes,
// so steady-state pictures allocate nothing. Calls for different sources may
// run at once; the calls of one source must not overlap.
#pragma once

#include "pipeline/FrameGeometry.h"
#include "pipeline/ProcessingValidation.h"
#include "pipeline/VideoReference.h"
#include "pipeline/VideoTables.h"

#include <cstddef>
#include <cstdint>

namespace moxel {

// Writes every destination pixel. It may overwrite the source (plain
// deinterlace) and the scratch buffer. Geometry that validateProcessing
// refuses leaves the destination untouched. initVideoTables() must have run.
void processFrame(uint8_t* src, uint8_t* dst, int inW, int inH, int outW, int outH,
                  uint8_t* scratch, const EncodingProfile& profile);

// Bytes of the scratch buffer processFrame needs for inW x inH pictures with
// this profile: only the high-quality deinterlace writes one; 0 otherwise
// (the scratch pointer may then be null).
size_t processingScratchBytes(int inW, int inH, const EncodingProfile& profile);

// The fast paths with an explicit interpolation formula (tests and benchmarks
// compare both against processFrameReference).
void processFrameFast(uint8_t* src, uint8_t* dst, int inW, int inH, int outW, int outH,
                      uint8_t* scratch, const EncodingProfile& profile, BilinearFormula formula);

} // namespace moxel
