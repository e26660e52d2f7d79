// What a source met on its way through the file, for the job's log and
// report: damage skipped, sound made up or cut, pictures dropped or repeated
// by the frame decision, and a file that ended before its announced length.
// The decoding threads count, the worker reads, so every field is atomic.
// Times are in milliseconds of the source's timeline; a "first at" field is
// -1 until the first event of its kind.
#pragma once

#include <atomic>
#include <cstdint>

namespace moxel {

struct SourceCounters {
    std::atomic<int64_t> damagedPackets{0};
    std::atomic<int64_t> firstDamageAtMs{-1};
    std::atomic<int64_t> silenceInsertedMs{0}; // before late sound and in its gaps
    std::atomic<int64_t> firstSilenceAtMs{-1};
    std::atomic<int64_t> soundDroppedMs{0}; // before the first picture and overlaps
    std::atomic<int64_t> firstSoundDropAtMs{-1};
    std::atomic<int64_t> picturesDropped{0}; // early pictures the frame decision dropped
    std::atomic<int64_t> firstDropAtMs{-1};
    std::atomic<int64_t> picturesRepeated{0}; // extra copies for gaps in the pictures
    std::atomic<int64_t> firstRepeatAtMs{-1};
    std::atomic<int64_t> endedEarlyAtMs{-1}; // where a source shorter than announced ended

    // Records the first time of an event kind (keeps an earlier one).
    static void noteFirst(std::atomic<int64_t>& field, int64_t atMs)
    {
        int64_t expected = -1;
        field.compare_exchange_strong(expected, atMs, std::memory_order_relaxed);
    }
    void reset()
    {
        for (std::atomic<int64_t>* field : {&damagedPackets, &silenceInsertedMs, &soundDroppedMs,
                                            &picturesDropped, &picturesRepeated})
            field->store(0, std::memory_order_relaxed);
        for (std::atomic<int64_t>* field :
             {&firstDamageAtMs, &firstSilenceAtMs, &firstSoundDropAtMs, &firstDropAtMs,
              &firstRepeatAtMs, &endedEarlyAtMs})
            field->store(-1, std::memory_order_relaxed);
    }
};

} // namespace moxel
