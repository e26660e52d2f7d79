// Process-wide, read-only helpers of the picture stage: the 64 KiB blend
// table and the processor feature flags. initVideoTables() runs once at
// start-up, before any source can call processFrame; afterwards everything
// here is read-only, so any thread may read it.
#pragma once

#include <cstdint>

namespace moxel {

// Builds the BlendTable and queries the processor. Safe to call again (it
// rebuilds the same values), but not while pictures are being processed.
void initVideoTables();

// BlendTable[a][b] = (a * (b + 1)) >> 8, laid out a * 256 + b.
const uint8_t* blendTable();

// Set when the processor offers packed 16-bit integer arithmetic (SSE2 on
// x86-64): selects the packed bilinear formula and the fast picture paths.
bool packedIntegerFlag();

// Finer features the fast paths use when present.
bool cpuHasSse41();
bool cpuHasAvx2();

} // namespace moxel
