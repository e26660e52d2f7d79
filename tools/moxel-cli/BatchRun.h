// moxel-cli's runs on the program's own profile store and batch files:
// --list-profiles prints the store, --batch FILE runs a saved batch through
// the batch list and its scheduler, as the desktop program's Encode All
// would, one job after another.
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>

namespace moxel {
class ProfileStore;
class Prompt;
} // namespace moxel

namespace moxel::cli {

class CliRunner;
class Console;
class RunReport;

// One line per profile: its position, a tab and its name. The exit status.
int listProfiles(const ProfileStore& profiles, std::ostream& out);

// Loads the batch file, reports its bad lines (file and line number), and
// runs every good job; report, when given, receives each job of the list at
// the end. Exit status: 0 when the file had no bad line and every job
// completed, 1 otherwise, 2 when the file cannot be read.
int runBatchFile(const std::string& path, const ProfileStore& profiles, CliRunner& runner,
                 Prompt& prompt, Console& console, RunReport* report = nullptr);

} // namespace moxel::cli
