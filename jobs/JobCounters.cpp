#include "jobs/JobCounters.h"

#include "encoder/KmfEncoder.h"
#include "encoder/StreamOutput.h"
#include "sources/MediaSource.h"

namespace moxel {

namespace {

int64_t load(const std::atomic<int64_t>& field)
{
    return field.load(std::memory_order_relaxed);
}

} // namespace

JobCounters readJobCounters(const MediaSource* source, const KmfEncoder& encoder,
                            int audioBytesPerSecond)
{
    JobCounters c;
    c.picturesWritten = int64_t(encoder.videoFrameCount());
    c.framesWritten = int64_t(encoder.framesWritten());
    if (audioBytesPerSecond > 0)
        c.soundMs = int64_t(encoder.audioBytesConsumed() * 1000 / uint64_t(audioBytesPerSecond));
    c.bytesWritten = int64_t(encoder.fileBytesWritten());
    if (source) {
        const SourceCounters& s = source->counters;
        c.damagedPackets = load(s.damagedPackets);
        c.firstDamageAtMs = load(s.firstDamageAtMs);
        c.silenceInsertedMs = load(s.silenceInsertedMs);
        c.firstSilenceAtMs = load(s.firstSilenceAtMs);
        c.soundDroppedMs = load(s.soundDroppedMs);
        c.picturesDropped = load(s.picturesDropped);
        c.firstDropAtMs = load(s.firstDropAtMs);
        c.picturesRepeated = load(s.picturesRepeated);
        c.firstRepeatAtMs = load(s.firstRepeatAtMs);
        c.endedEarlyAtMs = load(s.endedEarlyAtMs);
    }
    if (const StreamOutput* stream = encoder.streamOutput()) {
        c.stream = 1;
        c.streamFramesQueued = int64_t(stream->framesQueued());
        c.streamFramesDropped = int64_t(stream->framesDropped());
        c.streamReconnects = int64_t(stream->reconnects());
    }
    return c;
}

} // namespace moxel
