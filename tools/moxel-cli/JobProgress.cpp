#include "tools/moxel-cli/JobProgress.h"

#include <algorithm>
#include <cstdio>

namespace moxel::cli {

double progressSeconds(int32_t progress, int32_t audioBytesPerSecond)
{
    if (progress >= 0)
        return progress * 0.00005f;
    const int32_t divisor = audioBytesPerSecond / 9;
    return divisor > 0 ? -double(progress) / divisor : 0.0;
}

std::string elapsedText(double seconds)
{
    int whole = seconds > 0 ? int(seconds) : 0;
    const int hours = whole / 3600;
    whole -= hours * 3600;
    const int minutes = whole / 60;
    whole -= minutes * 60;
    char text[32];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%dh:%02d:%02d", hours, minutes, whole);
    else
        std::snprintf(text, sizeof text, "%02d:%02d", minutes, whole);
    return text;
}

std::string statusText(const JobProgress& progress)
{
    if (progress.aborting)
        return "aborting";
    const std::string time = "[" + elapsedText(progress.mediaSeconds) + "]";
    switch (progress.status) {
    case JobStatus::Idle:
        return "";
    case JobStatus::Queued:
        return "queued";
    case JobStatus::Initializing:
        return "initializing";
    case JobStatus::Encoding:
        return "encoding " + time;
    case JobStatus::Paused:
        return "paused " + time;
    case JobStatus::Complete:
        return "complete " + time;
    case JobStatus::Error:
        return "error";
    case JobStatus::Aborted:
        return "aborted by user";
    case JobStatus::Skipped:
        return "skipped";
    }
    return "";
}

const char* statusWord(JobStatus status)
{
    switch (status) {
    case JobStatus::Idle:
        return "idle";
    case JobStatus::Queued:
        return "queued";
    case JobStatus::Initializing:
        return "initializing";
    case JobStatus::Encoding:
        return "encoding";
    case JobStatus::Paused:
        return "paused";
    case JobStatus::Complete:
        return "complete";
    case JobStatus::Error:
        return "error";
    case JobStatus::Aborted:
        return "aborted";
    case JobStatus::Skipped:
        return "skipped";
    }
    return "unknown";
}

JobProgress readProgress(const BatchJob& job, double wallSeconds)
{
    const JobWorkerBlock& block = job.workerBlock;
    JobProgress p;
    p.status = job.statusValue();
    p.aborting = job.isAborting();
    p.mediaSeconds = progressSeconds(job.progress.load(std::memory_order_relaxed),
                                     block.audioBytesPerSecond.load(std::memory_order_relaxed));
    p.frames = block.framesProduced.load(std::memory_order_relaxed);
    p.fps = wallSeconds > 0 ? p.frames / wallSeconds : 0;
    p.durationSeconds = block.durationMs.load(std::memory_order_relaxed) / 1000.0;
    if (p.durationSeconds > 0) {
        const double done = std::clamp(p.mediaSeconds / p.durationSeconds, 0.0, 1.0);
        p.percent = p.status == JobStatus::Complete ? 100.0 : done * 100.0;
        if (done > 0 && wallSeconds > 0)
            p.secondsLeft = wallSeconds * (1.0 - done) / done;
    }
    return p;
}

} // namespace moxel::cli
