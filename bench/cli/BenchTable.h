// The bench's printed table: one line per comparison, moxel-cli's median wall
// time and peak memory beside the other side's, with the medians of the
// round-by-round ratios (moxel-cli / other; below 1.00 moxel-cli is ahead).
#pragma once

#include "bench/cli/AlternatedRuns.h"

#include <string>

namespace moxel::bench {

void printTableHead();

// A line comparing side a (moxel-cli) with side b.
void printComparison(const std::string& label, const std::vector<Measure>& a,
                     const std::vector<Measure>& b);

// A line that only says why a comparison is missing.
void printMissing(const std::string& label, const std::string& why);

// Free text under the table's current row, indented.
void printNote(const char* format, ...) __attribute__((format(printf, 1, 2)));

double mib(long kib);

} // namespace moxel::bench
