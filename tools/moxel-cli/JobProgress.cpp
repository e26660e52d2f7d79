#include "tools/moxel-cli/JobProgress.h"

#include "jobs/StreamOutcome.h"

#include <algorithm>

namespace moxel::cli {

std::string statusText(const JobProgress& progress)
{
    const std::string text =
        moxel::statusText(progress.status, progress.aborting, progress.queueNumber,
                          mediaTimeText(progress.mediaSeconds));
    return progress.streamNote.empty() ? text : text + ", " + progress.streamNote;
}

const char* statusWord(JobStatus status)
{
    return statusRow(status).word;
}

JobProgress readProgress(const BatchJob& job, double wallSeconds)
{
    const JobWorkerBlock& block = job.workerBlock;
    JobProgress p;
    p.status = job.statusValue();
    p.aborting = job.isAborting();
    p.queueNumber = job.queueNumber;
    p.mediaSeconds = progressSeconds(job.progress.load(std::memory_order_relaxed),
                                     block.audioBytesPerSecond.load(std::memory_order_relaxed));
    p.frames = block.framesProduced.load(std::memory_order_relaxed);
    p.fps = wallSeconds > 0 ? p.frames / wallSeconds : 0;
    p.durationSeconds = block.durationMs.load(std::memory_order_relaxed) / 1000.0;
    if (p.durationSeconds > 0) {
        const double done = std::clamp(p.mediaSeconds / p.durationSeconds, 0.0, 1.0);
        p.percent = statusRow(p.status).succeeded ? 100.0 : done * 100.0;
        if (done > 0 && wallSeconds > 0)
            p.secondsLeft = wallSeconds * (1.0 - done) / done;
    }
    p.streamNote = streamNote(block);
    return p;
}

} // namespace moxel::cli
