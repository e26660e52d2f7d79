#include "jobs/JobCounters.h"

#include "encoder/KmfEncoder.h"
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
        c.firstSoundDropAtMs = load(s.firstSoundDropAtMs);
        c.picturesDropped = load(s.picturesDropped);
        c.firstDropAtMs = load(s.firstDropAtMs);
        c.picturesRepeated = load(s.picturesRepeated);
        c.firstRepeatAtMs = load(s.firstRepeatAtMs);
        c.endedEarlyAtMs = load(s.endedEarlyAtMs);
    }
    if (const std::optional<StreamStats> stream = encoder.streamStats()) {
        c.stream = 1;
        c.streamConnected = stream->connectedEver ? 1 : 0;
        c.streamReconnects = int64_t(stream->reconnects);
        c.streamBytesSent = int64_t(stream->bytesSent);
        c.streamFramesSent = int64_t(stream->framesSent);
        c.streamFramesDroppedBacklog = int64_t(stream->framesDroppedBacklog);
        c.streamFramesCut = int64_t(stream->framesCut);
        c.streamFramesDroppedAtClose = int64_t(stream->framesDroppedAtClose);
    }
    return c;
}

} // namespace moxel
