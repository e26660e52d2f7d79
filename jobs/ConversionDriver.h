// Runs one batch job: the pre-flight on the user-interface thread (output
// folder, existing file, the prompts), then the conversion on a worker
// thread of its own that pumps the source into the encoder until the source
// ends, the user aborts or an error occurs. Status and progress go into the
// job record; settings (prefs_mkdir, prefs_overwrite, prefs_priority) come
// from programFolders().settings (their defaults when there are no settings).
#pragma once

#include "jobs/BatchJob.h"

#include <functional>
#include <string>

namespace moxel {

class Prompt;

// Starts runConversion(block) on a thread of its own; false when no thread
// could be started.
using WorkerStarter = std::function<bool(JobWorkerBlock* block)>;

// The pre-flight. profilePath is the file of the job's profile, empty when
// its index lies outside the profile store. On success the job is
// Initializing and a worker runs; otherwise it is Skipped or Error, holds no
// objects and its workerDone is set. prompt must outlive the worker.
void startJob(BatchRunState& run, BatchJob& job, const std::string& profilePath, Prompt& prompt);
// The same with another way of starting the worker (tests).
void startJob(BatchRunState& run, BatchJob& job, const std::string& profilePath, Prompt& prompt,
              const WorkerStarter& startWorker);

// Starts the worker on a new detached thread and stores its id in the block.
bool startWorkerThread(JobWorkerBlock* block);

// The worker thread's body, on a block that startJob filled; returns 0.
// Its last act is workerDone = 1.
int runConversion(JobWorkerBlock* block);

// After showing that the output could not be opened, the worker waits this
// long before it finishes (2500 ms), so that the message is seen before the
// next job starts. Programs without windows set 0.
void setOpenFailurePauseMs(int ms);

} // namespace moxel
