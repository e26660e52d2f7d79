#include "jobs/StreamOutcome.h"

namespace moxel {

namespace {

// The figures once the worker has finished; null before, and for files.
const StreamStats* finishedStream(const JobWorkerBlock& block)
{
    if (block.workerDone.load(std::memory_order_acquire) == 0 || !block.streamStats)
        return nullptr;
    return &*block.streamStats;
}

} // namespace

std::string streamNote(const JobWorkerBlock& block)
{
    const StreamStats* stats = finishedStream(block);
    if (!stats)
        return {};
    if (!stats->connectedEver)
        return "stream never connected";
    const uint64_t lost = stats->framesNotSent();
    if (lost == 0)
        return {};
    return std::to_string(lost) + (lost == 1 ? " frame" : " frames") + " not sent";
}

bool streamReachedNothing(const JobWorkerBlock& block)
{
    const StreamStats* stats = finishedStream(block);
    return stats && stats->serverReachedNothing();
}

} // namespace moxel
