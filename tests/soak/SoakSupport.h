// Helpers of the soak tests: case counts that the long runs raise through
// the environment, the seed every random choice starts from, and a job run
// under a watchdog that fails the test instead of hanging it.
#pragma once

#include "DriverTestSupport.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace moxel::test {

// The count named by the environment variable env when it is set to a
// positive number; otherwise normal, or sanitized in a sanitizer build.
int soakCount(const char* env, int normal, int sanitized);
// MOXEL_SOAK_SEED when set, else a fixed seed: the same cases every run.
uint64_t soakSeed();

// Starts the job and waits until its worker has finished, at most limit.
// A worker still running then is asked to abort; *timedOut tells. A worker
// that does not stop after that ends the test program with a message, since
// it still uses the job.
JobStatus runWithWatchdog(BatchRunState& run, BatchJob& job, const std::string& profilePath,
                          Prompt& prompt, std::chrono::milliseconds limit, bool* timedOut);

// The first text of a prompt's messages that contains part, or empty.
std::string messageWith(const ScriptedPrompt& prompt, const std::string& part);

} // namespace moxel::test
