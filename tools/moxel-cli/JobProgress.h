// What moxel-cli shows of a running job, read from the job record the
// worker writes: media time converted, frames, speed, percent done and the
// time left, and the status texts of the batch list's Status column.
#pragma once

#include "jobs/BatchJob.h"
#include "jobs/JobStatusText.h"

#include <string>

namespace moxel::cli {

struct JobProgress {
    JobStatus status = JobStatus::Idle;
    bool aborting = false;      // abort asked for, worker not finished
    uint32_t queueNumber = 0;   // place in the run while queued
    double mediaSeconds = 0;    // converted so far
    uint32_t frames = 0;        // frames built so far
    double fps = 0;             // frames per second of wall time
    double durationSeconds = 0; // of the source, 0 while unknown
    double percent = -1;        // -1 while the duration is unknown
    double secondsLeft = -1;    // -1 while it cannot be estimated
    std::string streamNote;     // once finished: what the stream did not get
};

// The Status column text: "initializing", "encoding [00:05]", "aborting",
// "complete [00:05], 12 frames not sent", ...
std::string statusText(const JobProgress& progress);
// One word for programs: initializing, encoding, paused, complete, error,
// aborted, skipped (idle, queued before a job starts).
const char* statusWord(JobStatus status);

// A snapshot of job; wallSeconds is the time since the job was started.
JobProgress readProgress(const BatchJob& job, double wallSeconds);

} // namespace moxel::cli
