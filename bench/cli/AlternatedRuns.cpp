#include "bench/cli/AlternatedRuns.h"

#include <algorithm>

namespace moxel::bench {

std::vector<std::vector<Measure>> runAlternately(const std::vector<Command>& commands, int runs,
                                                 const std::string& log)
{
    std::vector<std::vector<Measure>> measures(commands.size());
    for (int round = 0; round < runs; ++round)
        for (size_t side = 0; side < commands.size(); ++side)
            measures[side].push_back(
                runCommand(commands[side].args, log, commands[side].sampleTree));
    return measures;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

SideSummary summarize(const std::vector<Measure>& runs)
{
    SideSummary s;
    std::vector<double> seconds, kib;
    for (const Measure& m : runs) {
        s.ok = s.ok && m.ok;
        seconds.push_back(m.seconds);
        kib.push_back(double(m.peakKiB));
    }
    s.seconds = median(seconds);
    s.peakKiB = long(median(kib));
    return s;
}

Ratio ratio(const std::vector<Measure>& a, const std::vector<Measure>& b)
{
    std::vector<double> times, memories;
    for (size_t round = 0; round < a.size() && round < b.size(); ++round) {
        if (b[round].seconds > 0)
            times.push_back(a[round].seconds / b[round].seconds);
        if (b[round].peakKiB > 0)
            memories.push_back(double(a[round].peakKiB) / double(b[round].peakKiB));
    }
    return {median(times), median(memories)};
}

} // namespace moxel::bench
