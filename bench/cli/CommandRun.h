// Runs one command line and measures it: wall time, whether it exited 0, and
// peak memory. The peak is the child's maximum resident set as the kernel
// counts it (wait4), which for a command that starts other programs (GNU
// parallel) is only the largest single process; with sampleTree the peak is
// instead the largest sum of resident sets over the whole process tree,
// looked at every 10 ms, which is what several programs at once really hold.
// The command's standard output and error are appended to the log file.
#pragma once

#include <string>
#include <vector>

namespace moxel::bench {

struct Measure {
    double seconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

Measure runCommand(const std::vector<std::string>& args, const std::string& log,
                   bool sampleTree = false);

// The resident set of pid and all its descendants, in KiB, from /proc; 0 once
// pid is gone.
long treeResidentKiB(int pid);

} // namespace moxel::bench
