// What a job's run amounted to, in numbers, for its log and its report: what
// the encoder wrote, what the source met on its way (sources/SourceCounters.h)
// and, for a stream destination, how the stream went. The worker reads them
// once its source and encoder have closed (the source counts its damage and
// the stream its last frames at close), before it frees them; afterwards
// they are plain values in the job's log (jobs/JobLog.h).
//
// kJobCounterFields names each field once, so the report and the tests walk
// one table.
#pragma once

#include <array>
#include <cstdint>

namespace moxel {

class KmfEncoder;
class MediaSource;

struct JobCounters {
    // The encoder's.
    int64_t picturesWritten = 0; // pictures compressed into frames
    int64_t framesWritten = 0;   // KMF frames built
    int64_t soundMs = 0;         // sound compressed, in milliseconds
    int64_t bytesWritten = 0;    // bytes of the output file (or the stream's copy), header included
    // The source's; "at" fields are -1 when nothing of the kind happened.
    int64_t damagedPackets = 0;
    int64_t firstDamageAtMs = -1;
    int64_t silenceInsertedMs = 0;
    int64_t firstSilenceAtMs = -1;
    int64_t soundDroppedMs = 0;
    int64_t firstSoundDropAtMs = -1;
    int64_t picturesDropped = 0;
    int64_t firstDropAtMs = -1;
    int64_t picturesRepeated = 0;
    int64_t firstRepeatAtMs = -1;
    int64_t endedEarlyAtMs = -1;
    // A stream destination's (stream is 1 when there was one), as the
    // stream output counted them up to its close (encoder/StreamStats.h).
    int64_t stream = 0;
    int64_t streamConnected = 0; // 1 when the server was reached at least once
    int64_t streamReconnects = 0;
    int64_t streamBytesSent = 0;
    int64_t streamFramesSent = 0;
    int64_t streamFramesDroppedBacklog = 0;
    int64_t streamFramesCut = 0;
    int64_t streamFramesDroppedAtClose = 0;
};

struct JobCounterField {
    const char* name; // as the report writes it
    int64_t JobCounters::*value;
    bool streamOnly; // means something only when the job had a stream
};

inline constexpr auto kJobCounterFields = std::to_array<JobCounterField>({
    {"pictures_written", &JobCounters::picturesWritten, false},
    {"frames_written", &JobCounters::framesWritten, false},
    {"sound_ms", &JobCounters::soundMs, false},
    {"bytes_written", &JobCounters::bytesWritten, false},
    {"damaged_packets", &JobCounters::damagedPackets, false},
    {"first_damage_at_ms", &JobCounters::firstDamageAtMs, false},
    {"silence_inserted_ms", &JobCounters::silenceInsertedMs, false},
    {"first_silence_at_ms", &JobCounters::firstSilenceAtMs, false},
    {"sound_dropped_ms", &JobCounters::soundDroppedMs, false},
    {"first_sound_drop_at_ms", &JobCounters::firstSoundDropAtMs, false},
    {"pictures_dropped", &JobCounters::picturesDropped, false},
    {"first_drop_at_ms", &JobCounters::firstDropAtMs, false},
    {"pictures_repeated", &JobCounters::picturesRepeated, false},
    {"first_repeat_at_ms", &JobCounters::firstRepeatAtMs, false},
    {"ended_early_at_ms", &JobCounters::endedEarlyAtMs, false},
    {"stream", &JobCounters::stream, false},
    {"stream_connected", &JobCounters::streamConnected, true},
    {"stream_reconnects", &JobCounters::streamReconnects, true},
    {"stream_bytes_sent", &JobCounters::streamBytesSent, true},
    {"stream_frames_sent", &JobCounters::streamFramesSent, true},
    {"stream_frames_dropped_backlog", &JobCounters::streamFramesDroppedBacklog, true},
    {"stream_frames_cut", &JobCounters::streamFramesCut, true},
    {"stream_frames_dropped_at_close", &JobCounters::streamFramesDroppedAtClose, true},
});

// The counters of a run. source may be null (it never opened); the sound
// time needs the output's bytes per second (rate x channels x 2, 0: none).
JobCounters readJobCounters(const MediaSource* source, const KmfEncoder& encoder,
                            int audioBytesPerSecond);

} // namespace moxel
