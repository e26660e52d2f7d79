// Helpers of the soak tests: case counts that the long runs raise through
// the environment, the seed every random choice starts from, and a job run
// under a watchdog that fails the test instead of hanging it.
#pragma once

#include "DriverTestSupport.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

namespace moxel::test {

// The count named by the environment variable env when it is set to a
// positive number; otherwise normal, or sanitized in a sanitizer build.
int soakCount(const char* env, int normal, int sanitized);
// True in a sanitizer build, whose memory figures are the sanitizer's.
bool soakSanitized();
// MOXEL_SOAK_SEED when set, else a fixed seed: the same cases every run.
uint64_t soakSeed();

// Starts the job and waits until its worker has finished, at most limit.
// A worker still running then is asked to abort; *timedOut tells. A worker
// that does not stop after that ends the test program with a message, since
// it still uses the job.
JobStatus runWithWatchdog(BatchRunState& run, BatchJob& job, const std::string& profilePath,
                          Prompt& prompt, std::chrono::milliseconds limit, bool* timedOut);

// The sample uncompressed profile (RGB3 pictures, PCM sound) with the
// values of some of its keys replaced.
std::string rawProfileWith(const std::map<std::string, std::string>& values);
// A copy of moxel-cli in folder/bin beside a profile store of its own that
// holds the one profile text; returns the program's path.
std::string installCli(const std::string& folder, const std::string& profileText);

// The first text of a prompt's messages that contains part, or empty.
std::string messageWith(const ScriptedPrompt& prompt, const std::string& part);

} // namespace moxel::test
