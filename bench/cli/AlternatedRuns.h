// Runs a few commands in turn (A, B, C, A, B, C, ...) N times, so that a busy
// machine slows every side alike, and sums the runs up as medians: each
// side's wall time and peak memory, and the median of the round-by-round
// ratios of two sides (each pair taken from the same round).
#pragma once

#include "bench/cli/CommandRun.h"

#include <string>
#include <vector>

namespace moxel::bench {

struct Command {
    std::vector<std::string> args;
    bool sampleTree = false; // peak memory over the whole process tree
};

struct SideSummary {
    double seconds = 0; // median wall time
    long peakKiB = 0;   // median peak memory
    bool ok = true;     // every run exited 0
};

struct Ratio {
    double time = 0; // median of a / b, round by round
    double memory = 0;
};

// measures[side][round]
std::vector<std::vector<Measure>> runAlternately(const std::vector<Command>& commands, int runs,
                                                 const std::string& log);

double median(std::vector<double> values);

SideSummary summarize(const std::vector<Measure>& runs);

Ratio ratio(const std::vector<Measure>& a, const std::vector<Measure>& b);

} // namespace moxel::bench
