#include "sources/PictureTiming.h"

#include <algorithm>
#include <cmath>

namespace moxel {

FrameRateConverter createPictureTiming(double inFrameRate, double frameRate,
                                       bool useOutputFrameRate)
{
    return createFrameRateConverter(useOutputFrameRate ? inFrameRate : frameRate, frameRate,
                                    useOutputFrameRate);
}

FrameDecision decidePicture(FrameRateConverter& converter, std::optional<int64_t> start100ns,
                            int64_t origin100ns, SourceCounters& counters)
{
    int64_t decideAt = 0; // the decision's "no time"
    if (start100ns) {
        decideAt = *start100ns - (converter.haveFirst ? kSlotTolerance100ns : 0);
        if (decideAt == 0 && converter.haveFirst)
            decideAt = -1;
    }
    // Without a time the picture takes the next slot; that slot's time is
    // where the counters place it.
    int64_t at100ns = start100ns ? *start100ns : converter.firstTime;
    if (!start100ns && converter.inFps > 0.0 && std::isfinite(converter.inFps))
        at100ns += int64_t(double(converter.slotCount) / converter.inFps * 1e7);
    const int64_t atMs = std::max<int64_t>(0, (at100ns - origin100ns) / 10000);

    const FrameDecision decision = decideFrame(converter, decideAt);
    if (decision.early) {
        counters.picturesDropped.fetch_add(1, std::memory_order_relaxed);
        SourceCounters::noteFirst(counters.firstDropAtMs, atMs);
    }
    if (decision.madeUp > 0) {
        counters.picturesRepeated.fetch_add(decision.madeUp, std::memory_order_relaxed);
        SourceCounters::noteFirst(counters.firstRepeatAtMs, atMs);
    }
    return decision;
}

} // namespace moxel
