#include "bench/cli/BenchTable.h"

#include <cstdarg>
#include <cstdio>

namespace moxel::bench {

double mib(long kib)
{
    return double(kib) / 1024.0;
}

void printTableHead()
{
    std::printf("%-46s %9s %9s %6s %9s %9s %6s\n", "row (moxel-cli vs other)", "moxel s", "other s",
                "wall", "moxel MiB", "other MiB", "memory");
    std::fflush(stdout);
}

void printComparison(const std::string& label, const std::vector<Measure>& a,
                     const std::vector<Measure>& b)
{
    const SideSummary sa = summarize(a);
    const SideSummary sb = summarize(b);
    const Ratio r = ratio(a, b);
    std::printf("%-46s %9.2f %9.2f %5.2fx %9.1f %9.1f %5.2fx%s\n", label.c_str(), sa.seconds,
                sb.seconds, r.time, mib(sa.peakKiB), mib(sb.peakKiB), r.memory,
                sa.ok && sb.ok ? "" : "  (a command failed; see the log)");
    std::fflush(stdout);
}

void printMissing(const std::string& label, const std::string& why)
{
    std::printf("%-46s %s\n", label.c_str(), why.c_str());
    std::fflush(stdout);
}

void printNote(const char* format, ...)
{
    std::printf("    ");
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace moxel::bench
