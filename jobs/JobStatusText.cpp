#include "jobs/JobStatusText.h"

#include "jobs/StreamOutcome.h"

#include <cstdio>

namespace moxel {

namespace {

constexpr float kSecondsPerProgressUnit = 0.00005f;

} // namespace

double progressSeconds(int32_t progress, int32_t audioBytesPerSecond)
{
    if (progress >= 0)
        return float(progress) * kSecondsPerProgressUnit;
    const int32_t divisor = audioBytesPerSecond / 9;
    return divisor > 0 ? double(-int64_t(progress)) / double(divisor) : 0.0;
}

std::string mediaTimeText(double seconds)
{
    const int64_t whole = seconds > 0 ? int64_t(seconds) : 0;
    const long long hours = whole / 3600;
    const long long minutes = whole / 60 % 60;
    const int secs = int(whole % 60);
    char text[48];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lldh:%02lld:%02d", hours, minutes, secs);
    else
        std::snprintf(text, sizeof text, "%02lld:%02d", minutes, secs);
    return text;
}

std::string formatElapsed(int32_t progress, int32_t audioBytesPerSecond)
{
    return mediaTimeText(progressSeconds(progress, audioBytesPerSecond));
}

std::string statusText(JobStatus status, bool aborting, uint32_t queueNumber,
                       const std::string& elapsed)
{
    if (aborting)
        return kAbortingText;
    const JobStatusRow& row = statusRow(status);
    switch (row.detail) {
    case StatusDetail::None:
        break;
    case StatusDetail::QueueNumber:
        return std::string(row.text) + " [#" + std::to_string(queueNumber) + "]";
    case StatusDetail::MediaTime:
        return std::string(row.text) + " [" + elapsed + "]";
    }
    return row.text;
}

std::string statusText(const BatchJob& job)
{
    std::string text = statusText(
        job.statusValue(), job.isAborting(), job.queueNumber,
        formatElapsed(job.progress.load(std::memory_order_acquire),
                      job.workerBlock.audioBytesPerSecond.load(std::memory_order_acquire)));
    const std::string note = streamNote(job.workerBlock);
    return note.empty() ? text : text + ", " + note;
}

} // namespace moxel
