// The frame-rate decision for sources that are given timestamped pictures:
// per incoming picture, drop it or queue it with a repeat count, so that the
// output runs at outFps when the rates differ and keeps to the pictures'
// timestamps both ways: slots the source left empty are made up by repeats,
// and a picture that comes while the slot it belongs to is already taken is
// dropped. So the output lasts as long as the source at the output rate,
// for constant and variable rate sources alike. Lives from the source's open
// to its close; used only by the thread receiving pictures.
#pragma once

#include <cstdint>

namespace moxel {

struct FrameRateConverter {
    double inFps = 0.0;    // detected input frame rate
    double outFps = 0.0;   // output frame rate
    int64_t firstTime = 0; // 100-ns start time of the first picture
    int haveFirst = 0;
    int64_t slotCount = 0; // input frame slots seen, made-up ones included
    int64_t inCount = 0;   // input pictures counted for the rate decision
    int64_t outCount = 0;  // output frames accounted for
    int ignoreDrops = 0;   // the "ignore_drops" option: pictures are taken one slot each
    int useOutputRate = 0; // convert inFps to outFps (the profile's useOutputFrameRate)
};

FrameRateConverter createFrameRateConverter(double inFps, double outFps, int useOutputRate);

struct FrameDecision {
    bool drop = false;
    int64_t repeat = 0; // c: repetitions of the previous output picture before this one
    bool early = false; // dropped because its slot was already taken (not by the conversion)
    int64_t madeUp = 0; // of repeat: copies standing in for slots the source left empty
};

// How far, in seconds, a picture may come before the slot it is given
// without counting as early: timestamps rounded to whole milliseconds and
// the sources' half-millisecond allowance must never drop a picture.
constexpr double kEarlyToleranceSeconds = 0.0001;

// startTime in 100-ns units, 0 when the picture has none (it then takes the
// next slot). A picture more than two slots before the slot taken last means
// the timestamps jumped back: the timeline goes on from the next free slot
// instead of dropping everything up to the old time. Rates that are not
// finite and positive make no frames up and convert nothing.
FrameDecision decideFrame(FrameRateConverter& converter, int64_t startTime);

} // namespace moxel
