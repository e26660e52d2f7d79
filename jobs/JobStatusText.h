// The texts of a job's state as the Status column shows them, shared by the
// desktop program's list and moxel-cli's progress lines.
#pragma once

#include "jobs/BatchJob.h"

#include <cstdint>
#include <string>

namespace moxel {

// The media time a progress value counts: 1/20000 s units when positive,
// bytes / 9 of PCM at audioBytesPerSecond when negative (0 while the rate
// is not known yet).
double progressSeconds(int32_t progress, int32_t audioBytesPerSecond);

// "%02d:%02d", or "%dh:%02d:%02d" from one hour on; seconds truncated,
// negative times shown as 00:00.
std::string mediaTimeText(double seconds);

// mediaTimeText of the media time of progress.
std::string formatElapsed(int32_t progress, int32_t audioBytesPerSecond);

// "queued [#3]", "encoding [00:05]", "aborting", ...; elapsed is the media
// time text, used by the encoding, paused and complete states.
std::string statusText(JobStatus status, bool aborting, uint32_t queueNumber,
                       const std::string& elapsed);
// The text for a job record, read from its shared fields; once the worker
// has finished, a stream destination that did not get every frame says so
// after it ("complete [00:05], 12 frames not sent").
std::string statusText(const BatchJob& job);

} // namespace moxel
