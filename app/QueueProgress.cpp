#include "app/QueueProgress.h"

#include <algorithm>

namespace moxel::gui {

namespace {

// Below this much encoding the run's pace says too little to promise a time.
constexpr double kSteadyAfterSeconds = 2.0;

} // namespace

QueueProgress measureQueue(const std::vector<RunJob>& jobs, double encodingSeconds)
{
    QueueProgress progress;
    progress.total = int(jobs.size());
    double knownLength = 0.0;
    int known = 0;
    for (const RunJob& job : jobs) {
        if (job.ended)
            ++progress.done;
        if (job.lengthSeconds > 0.0) {
            knownLength += job.lengthSeconds;
            ++known;
        }
    }
    const double unknownWeight = known > 0 ? knownLength / known : 1.0;

    double weight = 0.0;
    double weightDone = 0.0;
    double mediaDone = 0.0;
    double mediaLeft = 0.0;
    bool lengthsKnown = true;
    for (const RunJob& job : jobs) {
        const bool hasLength = job.lengthSeconds > 0.0;
        const double jobWeight = hasLength ? job.lengthSeconds : unknownWeight;
        const double part = job.ended   ? 1.0
                            : hasLength ? std::clamp(job.doneSeconds / job.lengthSeconds, 0.0, 1.0)
                                        : 0.0;
        weight += jobWeight;
        weightDone += jobWeight * part;
        mediaDone += std::max(job.doneSeconds, 0.0);
        if (!job.ended) {
            lengthsKnown = lengthsKnown && hasLength;
            mediaLeft += hasLength ? job.lengthSeconds * (1.0 - part) : 0.0;
        }
        if (job.framesPerSecond)
            progress.framesPerSecond =
                progress.framesPerSecond.value_or(0.0) + *job.framesPerSecond;
    }
    progress.fraction = weight > 0.0 ? weightDone / weight : 0.0;
    // The run's own pace: media converted per second of encoding, which with
    // several jobs at once is their pace together.
    if (lengthsKnown && encodingSeconds >= kSteadyAfterSeconds && mediaDone > 0.0)
        progress.secondsLeft = mediaLeft * encodingSeconds / mediaDone;
    return progress;
}

} // namespace moxel::gui
