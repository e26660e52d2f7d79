#include "pipeline/FrameRateConverter.h"

#include <cmath>

namespace moxel {
namespace {

bool usableRate(double fps)
{
    return std::isfinite(fps) && fps > 0.0;
}

// Smallest m >= from for which below(m) is false, where below is true up to
// some point and false after it. Equals counting up one by one as the
// decision is defined, in logarithmic time, so a timestamp far in the future
// cannot stall the picture thread.
template <typename Below> int64_t firstNotBelow(int64_t from, Below below)
{
    if (!below(from))
        return from;
    constexpr int64_t kLimit = int64_t{1} << 62;
    int64_t lo = from, step = 1, hi = from;
    for (;;) {
        hi = lo + step;
        if (hi >= kLimit || !below(hi))
            break;
        lo = hi;
        if (step < kLimit / 2)
            step *= 2;
    }
    while (hi - lo > 1) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (below(mid))
            lo = mid;
        else
            hi = mid;
    }
    return hi;
}

} // namespace

FrameRateConverter createFrameRateConverter(double inFps, double outFps, int useOutputRate)
{
    FrameRateConverter f;
    f.inFps = inFps;
    f.outFps = outFps;
    f.useOutputRate = useOutputRate;
    return f;
}

FrameDecision decideFrame(FrameRateConverter& f, int64_t startTime)
{
    if (!f.haveFirst) {
        f.firstTime = startTime;
        f.haveFirst = 1;
    }
    const double s = static_cast<double>(startTime - f.firstTime) * 1e-7;
    const double inFps = f.inFps, outFps = f.outFps;
    const bool ratesUsable = usableRate(inFps) && usableRate(outFps);

    int64_t d = 0;
    if (!f.ignoreDrops && usableRate(inFps)) {
        const int64_t next = firstNotBelow(
            f.slotCount, [&](int64_t m) { return static_cast<double>(m) / inFps < s; });
        d = next - f.slotCount;
        f.slotCount = next;
    }
    f.slotCount += 1;
    f.inCount += 1;

    int64_t c = d;
    if (f.useOutputRate && ratesUsable && inFps > outFps) {
        const int64_t x = f.inCount;
        f.inCount += d;
        const double inverse = 1.0 / inFps;
        const double due = static_cast<double>(f.outCount + 1) / outFps;
        // Counting x up, c goes down with it; the picture is dropped when it
        // would go negative.
        const int64_t reached = firstNotBelow(
            x, [&](int64_t m) { return m - x <= d && static_cast<double>(m) * inverse < due; });
        const int64_t steps = reached - x;
        if (steps > d)
            return FrameDecision{true, 0};
        c = d - steps;
        f.outCount += c;
    } else if (f.useOutputRate && ratesUsable && outFps > inFps) {
        f.inCount += d;
        const double now = static_cast<double>(f.inCount) / inFps;
        const int64_t reached = firstNotBelow(
            f.outCount, [&](int64_t m) { return static_cast<double>(m + 1) / outFps < now; });
        c = d + (reached - f.outCount);
        f.outCount = reached;
    }
    f.outCount += 1;
    return FrameDecision{false, c};
}

} // namespace moxel
