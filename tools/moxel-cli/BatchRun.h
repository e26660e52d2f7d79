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

// One line per profile: its position, a tab and its name; or, with json, an
// array of objects: position, name, video_format and audio_format (FourCC
// text, null when none is chosen) and output_size ("WxH", null when the
// source's size is kept). The exit status.
int listProfiles(const ProfileStore& profiles, std::ostream& out, bool json = false);

// The bytes of the batch file, with only line kept when line is not 0.
// Returns -1, or the exit status with a message in error: kExitUsage when
// the file cannot be read or has no such line, kExitSomeFailed when the
// line is blank.
int readBatchFile(const std::string& path, long line, std::string& bytes, std::string& error);

// Reports the bad lines of the batch file's bytes (file and line number),
// and runs every good job with the runner (which reports them, when it has
// a report). Exit status: 0 when the file had no bad line and every
// job completed, 1 otherwise.
int runBatchFile(const std::string& path, const std::string& bytes, const ProfileStore& profiles,
                 CliRunner& runner, Prompt& prompt, Console& console);

} // namespace moxel::cli
