#include "pipeline/FrameRateConverter.h"

#include <algorithm>
#include <cmath>

namespace moxel {
namespace {

// Pictures in time order never come a whole slot before the slot taken
// last; timestamps that jump back further than this (a file joined from
// two, a clock reset) start the timeline again.
constexpr double kRebaseSlots = 2.0;

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
    const bool first = !f.haveFirst;
    if (first) {
        f.firstTime = startTime;
        f.haveFirst = 1;
    }
    double s = static_cast<double>(startTime - f.firstTime) * 1e-7;
    const double inFps = f.inFps, outFps = f.outFps;
    const bool ratesUsable = usableRate(inFps) && usableRate(outFps);

    if (!f.ignoreDrops && usableRate(inFps) && !first && startTime != 0 && f.slotCount > 0) {
        // How far the slot taken last lies after this picture: above the
        // tolerance, the picture's own slot is already taken.
        const double ahead = static_cast<double>(f.slotCount - 1) / inFps - s;
        if (ahead > kRebaseSlots / inFps) {
            f.firstTime =
                startTime -
                static_cast<int64_t>(std::floor(static_cast<double>(f.slotCount) / inFps * 1e7));
            s = static_cast<double>(startTime - f.firstTime) * 1e-7;
        } else if (ahead > kEarlyToleranceSeconds) {
            return FrameDecision{true, 0, true, 0};
        }
    }

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
            return FrameDecision{true, 0, false, 0};
        c = d - steps;
        f.outCount += c;
    } else if (f.useOutputRate && ratesUsable && outFps > inFps) {
        // The made-up slots are part of the time caught up with here, so
        // they are not added again: every output frame is counted once.
        f.inCount += d;
        const double now = static_cast<double>(f.inCount) / inFps;
        const int64_t reached = firstNotBelow(
            f.outCount, [&](int64_t m) { return static_cast<double>(m + 1) / outFps < now; });
        c = reached - f.outCount;
        f.outCount = reached;
    }
    f.outCount += 1;
    return FrameDecision{false, c, false, std::min(c, d)};
}

} // namespace moxel
