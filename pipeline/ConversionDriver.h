// Runs one batch job: the pre-flight on the user-interface thread (output
// folder, existing file, the prompts), then the conversion on a worker
// thread of its own that pumps the source into the encoder until the source
// ends, the user aborts or an error occurs. Status and progress go into the
// job record; settings (prefs_mkdir, prefs_overwrite, prefs_priority) come
// from programFolders().settings.
#pragma once

#include "app/BatchJob.h"

#include <string>

namespace moxel {

class Prompt;

// The pre-flight. profilePath is the file of the job's profile, empty when
// its index lies outside the profile store. On success the job is
// Initializing and a worker runs; otherwise it is Skipped or Error and holds
// no objects. prompt must outlive the worker.
void startJob(BatchRunState& run, BatchJob& job, const std::string& profilePath, Prompt& prompt);

// The worker thread's body; returns 0. Its last act is workerDone = 1.
int runConversion(JobWorkerBlock* block);

} // namespace moxel
