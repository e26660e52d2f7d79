// The worker thread of one batch job: opens the source and the encoder from
// the worker block the job start filled, then pumps the source into the
// encoder until the source ends, the user aborts or an error occurs, pausing
// while the job is paused. Status and progress go into the job record
// through the block's pointers, its messages, diagnostic lines and counters
// into the job's log; the thread priority follows prefs_priority from
// programFolders().settings while the job runs.
#pragma once

#include "jobs/BatchJob.h"

namespace moxel {

// The worker thread's body, on a block that startJob filled; returns 0.
// Its last act is workerDone = 1.
int runConversion(JobWorkerBlock* block);

// After showing that the output could not be opened, the worker waits this
// long before it finishes (2500 ms), so that the message is seen before the
// next job starts. Programs that keep the message in view (the desktop
// program's message window) or print it (moxel-cli) set 0.
void setOpenFailurePauseMs(int ms);

// A whole-number program setting as the job start and the worker read it:
// defaultValue when the program has no settings.
int jobSetting(const char* key, int defaultValue);

} // namespace moxel
