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

// start100ns: the picture's start in 100-ns units (none when it has no
// time); origin100ns: the start of the stream, from which the counters'
// times are measured.
FrameDecision decidePicture(FrameRateConverter& converter, std::optional<int64_t> start100ns,
                            int64_t origin100ns, SourceCounters& counters);

} // namespace moxel
