// Starts one batch job, on the user-interface thread: the pre-flight (the
// output folder and an existing output file, with their questions through
// the Prompt), the job's source holder, encoder and profile in its worker
// block, then the worker thread that runs the conversion (jobs/JobWorker.h).
// Each start begins a new run in the job's log (jobs/JobLog.h), and the
// job's messages go through the job's own prompt (jobs/JobPrompt.h).
// Settings (prefs_mkdir, prefs_overwrite) come from programFolders().settings
// (their defaults when there are no settings).
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

} // namespace moxel
