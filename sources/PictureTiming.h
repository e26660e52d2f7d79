// How a source puts each decoded picture through the frame decision: the
// picture's start time with the allowance for rounded times, and the count
// of what the decision drops as early and makes up for gaps (the source's
// counters, for the job's report). Both sources use it on the thread that
// receives their pictures.
#pragma once

#include "pipeline/FrameRateConverter.h"
#include "sources/SourceCounters.h"

#include <cstdint>
#include <optional>

namespace moxel {

// After the first picture, pictures are taken just over half a millisecond
// early, so that one on its slot never counts as late through rounding,
// here or in a container that keeps whole milliseconds.
constexpr int64_t kSlotTolerance100ns = 5001;

// The frame decision of a source whose pictures come at inFrameRate and
// leave at frameRate. A profile's output rate is converted to by the
// decision's rate rules. Without one, a rate moved to the nearest
// frame-rate code is reached through the pictures' times alone: the slots
// run at the coded rate and pictures are dropped or repeated where their
// times fall, so that none is shown a frame after its time.
FrameRateConverter createPictureTiming(double inFrameRate, double frameRate,
                                       bool useOutputFrameRate);

// start100ns: the picture's start in 100-ns units (none when it has no
// time); origin100ns: the start of the stream, from which the counters'
// times are measured.
FrameDecision decidePicture(FrameRateConverter& converter, std::optional<int64_t> start100ns,
                            int64_t origin100ns, SourceCounters& counters);

} // namespace moxel
