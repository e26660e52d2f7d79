// The frame-rate decision for sources that are pushed timestamped pictures
// (the decoder source): per incoming picture, drop it or queue it with a
// repeat count, so that the output runs at outFps when the profile's
// useOutputFrameRate is set and pictures the decoder skipped are made up for.
// Lives from the source's open to its close; used only by the thread
// receiving pictures.
#pragma once

#include <cstdint>

namespace moxel {

struct FrameRateConverter {
    double inFps = 0.0;    // detected input frame rate
    double outFps = 0.0;   // outputFrameRate with useOutputFrameRate, else inFps
    int64_t firstTime = 0; // 100-ns start time of the first picture
    int haveFirst = 0;
    int64_t slotCount = 0; // input frame slots seen, made-up ones included
    int64_t inCount = 0;   // input pictures counted for the rate decision
    int64_t outCount = 0;  // output frames accounted for
    int ignoreDrops = 0;   // the "ignore_drops" option: skipped pictures are not detected
    int useOutputRate = 0; // the profile's useOutputFrameRate
};

FrameRateConverter createFrameRateConverter(double inFps, double outFps, int useOutputRate);

struct FrameDecision {
    bool drop = false;
    int64_t repeat = 0; // c: repetitions of the previous output picture before this one
};

// startTime in 100-ns units, 0 when the picture has none. Rates that are not
// finite and positive make no frames up and convert nothing (c = 0).
FrameDecision decideFrame(FrameRateConverter& converter, int64_t startTime);

} // namespace moxel
