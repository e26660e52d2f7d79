// The queue's progress as a whole, for the status bar and the window title.
//
// A run of the queue begins when a job is queued or started while nothing
// else was, and ends when no job is queued, starting, running or paused any
// more; its jobs are those that were in the queue at some time during it.
// measureQueue() weighs each job by its media length, so that a long film
// counts for more than a short clip; a job whose length is unknown weighs
// as much as the known ones on average (as much as any other when none is
// known, which makes the fraction a count of jobs).
#pragma once

#include <optional>
#include <vector>

namespace moxel::gui {

// One job of the run, as seen on one tick.
struct RunJob {
    bool ended = false;                    // it has its outcome, or was skipped
    double lengthSeconds = 0.0;            // its source's media length; 0 when unknown
    double doneSeconds = 0.0;              // media converted so far
    std::optional<double> framesPerSecond; // its speed now, while it encodes
};

struct QueueProgress {
    int done = 0;          // jobs of the run that have ended
    int total = 0;         // jobs of the run
    double fraction = 0.0; // of the run's work, 0 to 1
    // Known once the run has encoded for a while and every job that has not
    // ended knows its length.
    std::optional<double> secondsLeft;
    // The sum over the jobs that encode now; nothing when none is measured.
    std::optional<double> framesPerSecond;
};

// encodingSeconds: wall time of the run during which some job encoded.
QueueProgress measureQueue(const std::vector<RunJob>& jobs, double encodingSeconds);

} // namespace moxel::gui
