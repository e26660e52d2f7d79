// The sound timeline on made-up frame stamps: jitter of real containers
// changes nothing, late and early sound, gaps and overlaps are evened out
// and counted, and stamps that cannot be right are not believed.
#include "sources/SoundTimeline.h"

#include <gtest/gtest.h>

#include <cmath>

namespace moxel {
namespace {

constexpr int kRate = 44100;
constexpr int64_t kFrame = 1024;

// The stamp of sample n at kRate, as a container with ticksPerSecond
// stores it (rounded to its ticks), in microseconds.
int64_t stampUs(int64_t sample, int ticksPerSecond = kRate, int64_t offsetUs = 0)
{
    const int64_t ticks = std::llround(double(sample) * ticksPerSecond / kRate);
    return offsetUs + std::llround(double(ticks) * 1e6 / ticksPerSecond);
}

struct Totals {
    int64_t silence = 0, skipped = 0, placed = 0;
};

// Places frames of kFrame samples stamped by stamp(i); sums the answers.
template <class Stamp> Totals placeFrames(SoundTimeline& timeline, int frames, Stamp stamp)
{
    Totals totals;
    for (int i = 0; i < frames; ++i) {
        const SoundTimeline::Placement placement = timeline.place(stamp(i), kFrame, kRate);
        totals.silence += placement.silenceFrames;
        totals.skipped += placement.skipFrames;
        totals.placed += placement.silenceFrames + kFrame - placement.skipFrames;
    }
    return totals;
}

TEST(SoundTimelineTest, ContainerRoundingAndUnstampedFramesChangeNothing)
{
    // Sample-exact, 90 kHz, whole milliseconds, and 1.4 s into the file's time.
    for (int ticks : {kRate, 90000, 1000}) {
        SCOPED_TRACE(ticks);
        SourceCounters counters;
        SoundTimeline timeline;
        timeline.start(1400000, 10.0, &counters);
        const Totals totals = placeFrames(timeline, 300, [&](int i) {
            return i % 7 == 3 ? SoundTimeline::kUnknown : stampUs(i * kFrame, ticks, 1400000);
        });
        EXPECT_EQ(totals.silence, 0);
        EXPECT_EQ(totals.skipped, 0);
        EXPECT_EQ(counters.silenceInsertedMs.load(), 0);
        EXPECT_EQ(counters.soundDroppedMs.load(), 0);
        EXPECT_EQ(counters.firstSilenceAtMs.load(), -1);
    }
    // Less than a frame late or early at the start is jitter too.
    for (int64_t offset : {kFrame - 1, -kFrame + 1}) {
        SoundTimeline timeline;
        timeline.start(0, 10.0, nullptr);
        const Totals totals =
            placeFrames(timeline, 10, [&](int i) { return stampUs(i * kFrame + offset); });
        EXPECT_EQ(totals.silence + totals.skipped, 0) << offset;
    }
}

TEST(SoundTimelineTest, LateSoundAndGapsArePrecededBySilence)
{
    SourceCounters counters;
    SoundTimeline timeline;
    timeline.start(0, 10.0, &counters);
    // Starts 0.5 s late; 2 s are missing after frame 40.
    const Totals totals = placeFrames(timeline, 100, [](int i) {
        return stampUs(kRate / 2 + i * kFrame + (i >= 40 ? 2 * kRate : 0));
    });
    EXPECT_EQ(totals.silence, kRate / 2 + 2 * kRate);
    EXPECT_EQ(totals.skipped, 0);
    EXPECT_EQ(counters.silenceInsertedMs.load(), 2500);
    EXPECT_EQ(counters.firstSilenceAtMs.load(), 0);
    // The sound then ends where its last stamp says.
    EXPECT_EQ(timeline.endUs(), stampUs(kRate / 2 + 100 * kFrame + 2 * kRate));
    EXPECT_EQ(timeline.originUs(), 0);

    // The first gap's time is where the sound before it ended.
    SourceCounters later;
    timeline.start(0, 10.0, &later);
    placeFrames(timeline, 50, [](int i) { return stampUs(i * kFrame + (i >= 20 ? kRate : 0)); });
    EXPECT_EQ(later.silenceInsertedMs.load(), 1000);
    EXPECT_EQ(later.firstSilenceAtMs.load(), 20 * kFrame * 1000 / kRate);
}

TEST(SoundTimelineTest, EarlySoundAndOverlapsAreCut)
{
    SourceCounters counters;
    SoundTimeline timeline;
    timeline.start(1000000, 10.0, &counters); // the pictures start at 1 s
    Totals totals = placeFrames(timeline, 100, [](int i) { return stampUs(i * kFrame); });
    // The 43 frames wholly before 1 s, and the front of the one across it
    // to the sample.
    EXPECT_EQ(totals.skipped, kRate);
    EXPECT_EQ(totals.silence, 0);
    EXPECT_EQ(totals.placed, 100 * kFrame - kRate);
    EXPECT_EQ(counters.soundDroppedMs.load(), 1000);
    EXPECT_EQ(counters.firstSoundDropAtMs.load(), 0);

    // An encoder's lead-in frame stamped just under a frame before the
    // pictures (in whole milliseconds) stays, and so does the sound after it.
    timeline.start(23000, 10.0, &counters);
    totals = placeFrames(timeline, 50, [](int i) { return stampUs(i * kFrame, 1000); });
    EXPECT_EQ(totals.skipped + totals.silence, 0);

    // Frames stamped more than a frame back lose what lies before the end so
    // far: a whole one, and the front of a long one (over 100 ms).
    timeline.start(0, 10.0, &counters);
    placeFrames(timeline, 10, [](int i) { return stampUs(i * kFrame); });
    const SoundTimeline::Placement back =
        timeline.place(stampUs(10 * kFrame - 1536), kFrame, kRate);
    EXPECT_EQ(back.skipFrames, kFrame);
    EXPECT_EQ(timeline.endUs(), stampUs(10 * kFrame));
    const SoundTimeline::Placement partly =
        timeline.place(stampUs(10 * kFrame - 5000), 8192, kRate);
    EXPECT_EQ(partly.skipFrames, 5000);
    EXPECT_EQ(partly.silenceFrames, 0);
    EXPECT_EQ(timeline.endUs(), stampUs(10 * kFrame - 5000 + 8192));
}

TEST(SoundTimelineTest, WhereStampsMayRestartAJumpBackKeepsTheSound)
{
    // Sound before the pictures is still cut.
    SoundTimeline early;
    early.start(1000000, 10.0, nullptr, true);
    const Totals cut = placeFrames(early, 100, [](int i) { return stampUs(i * kFrame); });
    EXPECT_EQ(cut.skipped, kRate);

    // Two recordings joined: the second's stamps start again 0.4 s back.
    for (bool mayRestart : {false, true}) {
        SoundTimeline timeline;
        timeline.start(0, 10.0, nullptr, mayRestart);
        const Totals totals = placeFrames(timeline, 40, [](int i) {
            return stampUs(i < 20 ? i * kFrame : (i - 20) * kFrame + kRate / 10);
        });
        // Without restarts, whole frames go until the stamps catch up.
        EXPECT_EQ(totals.skipped, mayRestart ? 0 : (20 * kFrame - kRate / 10) / kFrame * kFrame)
            << mayRestart;
        EXPECT_EQ(totals.silence, 0);
    }
}

TEST(SoundTimelineTest, StampsBeyondTheSourceAreNotBelieved)
{
    SourceCounters counters;
    SoundTimeline timeline;
    timeline.start(0, 10.0, &counters);
    // One frame stamped hours off, another 20 s off in a 10 s source, and a
    // stamp near the end of the number range: the sound goes on as placed.
    const int64_t wild[] = {int64_t(3) * 3600 * 1000000, 20 * 1000000, INT64_MAX - 5};
    const Totals totals = placeFrames(
        timeline, 60, [&](int i) { return i % 20 == 10 ? wild[i / 20] : stampUs(i * kFrame); });
    EXPECT_EQ(totals.silence, 0);
    EXPECT_EQ(totals.skipped, 0);
    EXPECT_EQ(counters.silenceInsertedMs.load(), 0);
    EXPECT_EQ(counters.soundDroppedMs.load(), 0);

    // Without an announced length, ten minutes are believed.
    timeline.start(0, 0.0, &counters);
    const Totals unannounced =
        placeFrames(timeline, 2, [](int i) { return i == 0 ? 0 : int64_t(599) * 1000000; });
    EXPECT_EQ(unannounced.silence, int64_t(599) * kRate - kFrame);
}

TEST(SoundTimelineTest, WithoutAnOriginTheSoundStartsTheTimeline)
{
    SoundTimeline timeline;
    timeline.start(SoundTimeline::kUnknown, 0.0, nullptr);
    EXPECT_EQ(timeline.endUs(), SoundTimeline::kUnknown);
    const Totals totals =
        placeFrames(timeline, 5, [](int i) { return stampUs(i * kFrame, kRate, 7000000); });
    EXPECT_EQ(totals.silence + totals.skipped, 0);
    EXPECT_EQ(timeline.originUs(), 7000000);

    // A first frame without a time, or with one far off, starts at the origin.
    for (int64_t firstStamp : {SoundTimeline::kUnknown, INT64_MAX - 5}) {
        timeline.start(1000000, 10.0, nullptr);
        const Totals following = placeFrames(timeline, 5, [&](int i) {
            return i == 0 ? firstStamp : stampUs(i * kFrame, kRate, 1000000);
        });
        EXPECT_EQ(following.silence + following.skipped, 0);
        EXPECT_EQ(timeline.endUs(), stampUs(5 * kFrame, kRate, 1000000));
    }
}

TEST(SoundTimelineTest, ARateChangeGoesOnWhereTheSoundEnded)
{
    SoundTimeline timeline;
    timeline.start(0, 10.0, nullptr);
    placeFrames(timeline, 43, [](int i) { return stampUs(i * kFrame); });
    const int64_t endUs = timeline.endUs();
    // 48 kHz frames from there on, stamped in whole milliseconds.
    for (int i = 0; i < 50; ++i) {
        const int64_t stamp = (endUs + int64_t(i) * 1024 * 1000000 / 48000) / 1000 * 1000;
        const SoundTimeline::Placement placement = timeline.place(stamp, 1024, 48000);
        EXPECT_EQ(placement.silenceFrames + placement.skipFrames, 0) << i;
    }
}

} // namespace
} // namespace moxel
