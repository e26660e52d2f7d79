// The command line of moxel-cli: parsed with CLI11 into plain values.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace moxel::cli {

inline constexpr int kExitAllComplete = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

struct CliOptions {
    std::string profile;           // --profile: a .pf file; empty for the bundled default
    std::string output;            // -o: the one source's destination (file or stream)
    bool overwrite = false;        // --overwrite: answer "File Exists" with Yes
    bool mkdir = false;            // --mkdir: answer "Create new folder?" with Yes
    std::string progress;          // --progress: key=value blocks to this file, "-" for stdout
    std::string batch;             // --batch: a saved batch file to run
    std::string report;            // --report: the run's JSON report to this file
    bool listProfiles = false;     // --list-profiles: print the profile store
    long line = 0;                 // --line: the one batch line to run, 0 for all
    bool skipExisting = false;     // --skip-existing: a complete destination counts as done
    bool readOnlyProfiles = false; // --read-only-profiles: write no profile or settings file
    bool dryRun = false;           // --dry-run: list the jobs, run none
    bool json = false;             // --json: --list-profiles and --dry-run print JSON
    int verbosity = 0;             // -q: -1, -v: 1 (the media libraries' messages)
    int jobs = 1;                  // --jobs: how many jobs run at the same time
    std::vector<std::string> sources;
};

// Parses argv. Returns -1 when the program should go on with options set;
// otherwise the exit status (0 after --help, kExitUsage after a usage
// error), with the help or the error written to out or err.
int parseCliOptions(int argc, const char* const* argv, CliOptions& options, std::ostream& out,
                    std::ostream& err);

} // namespace moxel::cli
