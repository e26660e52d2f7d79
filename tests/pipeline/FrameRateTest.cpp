// Frame-rate decision and the frame reader rule: the drop and repeat
// patterns of common rate pairs, late timestamps, and what the reader
// outputs for each queue entry.
#include "pipeline/FrameQueueReader.h"
#include "pipeline/FrameRateConverter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace moxel {
namespace {

int64_t at(int frame, double fps)
{
    return static_cast<int64_t>(frame * 1e7 / fps);
} // truncated 100-ns time

// Decisions for pictures at the given times: -1 for a drop, else the repeat count.
std::vector<int64_t> decide(FrameRateConverter f, const std::vector<int64_t>& times)
{
    std::vector<int64_t> out;
    for (int64_t t : times) {
        const FrameDecision d = decideFrame(f, t);
        out.push_back(d.drop ? -1 : d.repeat);
    }
    return out;
}

std::vector<int64_t> regular(int count, double fps)
{
    std::vector<int64_t> t;
    for (int i = 0; i < count; ++i)
        t.push_back(at(i, fps));
    return t;
}

TEST(FrameRateTest, RatePairs)
{
    // 30 -> 15: the first picture is dropped, the second kept, and so on.
    EXPECT_EQ(decide(createFrameRateConverter(30.0, 15.0, 1), regular(8, 30.0)),
              (std::vector<int64_t>{-1, 0, -1, 0, -1, 0, -1, 0}));
    // 15 -> 30: every picture once repeated.
    EXPECT_EQ(decide(createFrameRateConverter(15.0, 30.0, 1), regular(6, 15.0)),
              (std::vector<int64_t>{1, 1, 1, 1, 1, 1}));
    // Without outfruse nothing is converted.
    EXPECT_EQ(decide(createFrameRateConverter(30.0, 15.0, 0), regular(4, 30.0)),
              (std::vector<int64_t>{0, 0, 0, 0}));
    // 25 -> 30 over one second gives 30 frames; 30000/1001 -> 25 keeps 25 of 30.
    for (const auto& [in, out] : {std::pair{25.0, 30.0}, std::pair{30000.0 / 1001, 25.0}}) {
        FrameRateConverter f = createFrameRateConverter(in, out, 1);
        int64_t frames = 0;
        for (int64_t d : decide(f, regular(static_cast<int>(in * 10 + 0.5), in)))
            frames += d < 0 ? 0 : d + 1;
        EXPECT_NEAR(static_cast<double>(frames), out * 10, 1.0) << in << " -> " << out;
    }
}

TEST(FrameRateTest, LateTimestampsMakeUpSkippedPictures)
{
    // Two slots late at equal rates: repeat count 2.
    EXPECT_EQ(decide(createFrameRateConverter(30.0, 30.0, 1),
                     {at(0, 30), at(1, 30), at(4, 30), at(5, 30)}),
              (std::vector<int64_t>{0, 0, 2, 0}));
    // Slightly late once: one skipped picture, then the count runs a slot
    // ahead and absorbs later lateness.
    EXPECT_EQ(decide(createFrameRateConverter(30.0, 30.0, 0),
                     {0, at(1, 30) + 5, at(2, 30) + 9, at(3, 30) + 1, at(4, 30)}),
              (std::vector<int64_t>{0, 1, 0, 0, 0}));
    FrameRateConverter ignoring = createFrameRateConverter(30.0, 30.0, 1);
    ignoring.ignoreDrops = 1;
    EXPECT_EQ(decide(ignoring, {at(0, 30), at(3, 30)}), (std::vector<int64_t>{0, 0}));
}

TEST(FrameRateTest, ExtremeInputStaysPrompt)
{
    // A timestamp a year ahead makes up every slot without counting them one
    // by one.
    FrameRateConverter f = createFrameRateConverter(30.0, 30.0, 0);
    decideFrame(f, 0);
    const FrameDecision far = decideFrame(f, int64_t{365} * 24 * 3600 * 10000000);
    EXPECT_EQ(far.repeat, int64_t{365} * 24 * 3600 * 30 - 1);
    // The same jump at a lower output rate: the made-up pictures are queued
    // at once, and the pictures after them are dropped until the output
    // count is caught up with, again without counting one by one.
    FrameRateConverter g = createFrameRateConverter(30.0, 15.0, 1);
    decideFrame(g, 0);
    const int64_t year = int64_t{365} * 24 * 3600 * 10000000;
    EXPECT_EQ(decideFrame(g, year).repeat, int64_t{365} * 24 * 3600 * 30 - 1);
    EXPECT_TRUE(decideFrame(g, year + at(1, 30)).drop);
    // Unusable rates convert nothing and never loop forever.
    for (double in : {0.0, -30.0}) {
        FrameRateConverter h = createFrameRateConverter(in, 30.0, 1);
        EXPECT_EQ(decide(h, regular(3, 30.0)), (std::vector<int64_t>{0, 0, 0}));
    }
}

// The decision counted one step at a time, as it is defined.
FrameDecision decideByCounting(FrameRateConverter& f, int64_t t)
{
    const bool first = !f.haveFirst;
    if (first) {
        f.firstTime = t;
        f.haveFirst = 1;
    }
    const double s = static_cast<double>(t - f.firstTime) * 1e-7;
    if (!f.ignoreDrops && !first && t != 0 && f.slotCount > 0 &&
        static_cast<double>(f.slotCount - 1) / f.inFps - s > kEarlyToleranceSeconds)
        return FrameDecision{true, 0, true, 0}; // (no jumps back of two slots here)
    int64_t d = 0;
    if (!f.ignoreDrops)
        while (static_cast<double>(f.slotCount) / f.inFps < s)
            ++d, ++f.slotCount;
    ++f.slotCount;
    ++f.inCount;
    int64_t c = d;
    if (f.useOutputRate && f.inFps > f.outFps) {
        int64_t x = f.inCount;
        f.inCount += d;
        while (static_cast<double>(x) * (1.0 / f.inFps) <
               static_cast<double>(f.outCount + 1) / f.outFps) {
            ++x;
            if (--c < 0)
                return FrameDecision{true, 0, false, 0};
        }
        f.outCount += c;
    } else if (f.useOutputRate && f.outFps > f.inFps) {
        f.inCount += d;
        c = 0;
        while (static_cast<double>(f.outCount + 1) / f.outFps <
               static_cast<double>(f.inCount) / f.inFps)
            ++f.outCount, ++c;
    }
    ++f.outCount;
    return FrameDecision{false, c, false, std::min(c, d)};
}

TEST(FrameRateTest, EqualsCountingOnJitteredTimestamps)
{
    const std::pair<double, double> rates[] = {
        {30.0, 15.0},   {15.0, 30.0}, {30000.0 / 1001, 25.0}, {25.0, 24.0}, {24000.0 / 1001, 30.0},
        {29.97, 29.97}, {60.0, 12.5}};
    std::mt19937 rng(9);
    for (const auto& [in, out] : rates) {
        FrameRateConverter fast = createFrameRateConverter(in, out, 1), counted = fast;
        int64_t t = 0;
        for (int i = 0; i < 2000; ++i) {
            // Mostly regular, sometimes late, now and then a few pictures
            // lost, and now and then a burst of pictures at three times the rate.
            const int lost = rng() % 50 == 0 ? static_cast<int>(rng() % 5) : 0;
            const double interval = (i / 100) % 5 == 4 ? 1e7 / in / 3 : (1 + lost) * 1e7 / in;
            t += static_cast<int64_t>(interval) + static_cast<int64_t>(rng() % 3000) - 1000;
            const FrameDecision a = decideFrame(fast, t), b = decideByCounting(counted, t);
            ASSERT_EQ(a.drop, b.drop) << in << " -> " << out << " picture " << i;
            ASSERT_EQ(a.early, b.early) << in << " -> " << out << " picture " << i;
            ASSERT_EQ(a.repeat, b.repeat) << in << " -> " << out << " picture " << i;
            ASSERT_EQ(a.madeUp, b.madeUp) << in << " -> " << out << " picture " << i;
        }
        EXPECT_EQ(fast.outCount, counted.outCount);
    }
}

// Frames the decisions give for pictures at these times.
int64_t framesOut(FrameRateConverter& f, const std::vector<int64_t>& times)
{
    int64_t frames = 0;
    for (int64_t t : times) {
        const FrameDecision d = decideFrame(f, t);
        frames += d.drop ? 0 : d.repeat + 1;
    }
    return frames;
}

TEST(FrameRateTest, EarlyPicturesAreDroppedSoTheOutputKeepsToTheTimestamps)
{
    // 60 fps pictures on a 30 fps timeline: each slot takes the first
    // picture after the slot before it, the second one is dropped as early
    // (not as a conversion).
    FrameRateConverter dense = createFrameRateConverter(30.0, 30.0, 0);
    std::vector<int64_t> decisions, early;
    for (int i = 0; i < 8; ++i) {
        const FrameDecision d = decideFrame(dense, at(i, 60.0) - (i ? 5001 : 0));
        decisions.push_back(d.drop ? -1 : d.repeat);
        early.push_back(d.early);
    }
    EXPECT_EQ(decisions, (std::vector<int64_t>{0, 0, -1, 0, -1, 0, -1, 0}));
    EXPECT_EQ(early, (std::vector<int64_t>{0, 0, 1, 0, 1, 0, 1, 0}));

    // 5 s at 10 fps then 5 s at 60 fps, at their average (35 fps) and at
    // rates below and above it, with and without conversion: the output
    // lasts the 10 s at the output rate within one frame, and one input
    // slot more where the conversion repeats.
    std::vector<int64_t> times;
    for (int i = 0; i < 50; ++i)
        times.push_back(at(i, 10.0));
    for (int i = 0; i < 300; ++i)
        times.push_back(50000000 + at(i, 60.0));
    for (const auto& [in, out] :
         {std::pair{35.0, 35.0}, std::pair{10.0, 10.0}, std::pair{60.0, 60.0},
          std::pair{34.9, 35.0}, std::pair{35.0, 25.0}, std::pair{35.0, 50.0}}) {
        FrameRateConverter f = createFrameRateConverter(in, out, in != out);
        EXPECT_NEAR(static_cast<double>(framesOut(f, times)), 10.0 * out,
                    1.0 + (out > in ? out / in : 0.0))
            << in << " -> " << out;
    }

    // Made-up copies are told apart from the repeats of a conversion.
    FrameRateConverter up = createFrameRateConverter(15.0, 30.0, 1);
    decideFrame(up, 0);
    const FrameDecision gap = decideFrame(up, at(3, 15.0));
    EXPECT_EQ(gap.repeat, 5);
    EXPECT_EQ(gap.madeUp, 2);
}

TEST(FrameRateTest, TimestampsJumpingBackStartTheTimelineAgain)
{
    // Start times taken half a millisecond early after the first, as the
    // sources give them.
    auto early = [](std::vector<int64_t> times) {
        for (size_t i = 1; i < times.size(); ++i)
            times[i] -= 5001;
        return times;
    };
    // Ten seconds at 25 fps, then the timestamps start again at 0: the
    // pictures after the jump go on from the next slot, none dropped.
    FrameRateConverter f = createFrameRateConverter(25.0, 25.0, 0);
    std::vector<int64_t> times = regular(250, 25.0);
    for (int i = 0; i < 50; ++i)
        times.push_back(at(i, 25.0));
    EXPECT_EQ(framesOut(f, early(times)), 300);
    // The same for a jump of less than a second (two files joined).
    FrameRateConverter g = createFrameRateConverter(25.0, 25.0, 0);
    times = regular(50, 25.0);
    for (int i = 40; i < 60; ++i)
        times.push_back(at(i, 25.0));
    EXPECT_EQ(framesOut(g, early(times)), 70);
    // Within two slots, what a jump back overlaps is dropped.
    FrameRateConverter h = createFrameRateConverter(25.0, 25.0, 0);
    times = regular(50, 25.0);
    for (int i = 48; i < 60; ++i)
        times.push_back(at(i, 25.0));
    EXPECT_EQ(framesOut(h, early(times)), 60);
}

TEST(FrameRateTest, AnHourKeepsWithinOneFrameOfTheSource)
{
    // Pictures at 29.258 fps on 29 fps slots (the nearest rate the container
    // can name, reached through the timestamps), and conversions of a
    // profile's output rate: after an hour the output lasts the hour within
    // one frame.
    const struct {
        double pictureFps, inFps, outFps;
        int convert;
    } cases[] = {
        {29.258, 29.0, 29.0, 0},
        {34.96, 35.0, 35.0, 0},
        {30000.0 / 1001, 30000.0 / 1001, 30000.0 / 1001, 0},
        {60000.0 / 1001, 60000.0 / 1001, 30000.0 / 1001, 1},
        {25.0, 25.0, 24000.0 / 1001, 1},
    };
    for (const auto& c : cases) {
        FrameRateConverter f = createFrameRateConverter(c.inFps, c.outFps, c.convert);
        const auto pictures = static_cast<int64_t>(std::floor(3600.0 * c.pictureFps));
        int64_t frames = 0;
        for (int64_t i = 0; i < pictures; ++i) {
            // Start times as a millisecond container keeps them, taken
            // half a millisecond early as the sources do.
            int64_t t =
                std::llround(static_cast<double>(i) * 1000.0 / c.pictureFps) * int64_t{10000};
            if (i > 0)
                t -= 5001;
            const FrameDecision d = decideFrame(f, t);
            frames += d.drop ? 0 : d.repeat + 1;
        }
        EXPECT_NEAR(static_cast<double>(frames) / c.outFps,
                    static_cast<double>(pictures) / c.pictureFps, 1.0 / c.outFps)
            << c.pictureFps << " -> " << c.outFps;
    }
}

TEST(FrameRateTest, ReaderRepeatsThePreviousPicture)
{
    // 15 -> 30: entries (1, A), (1, B), (1, C) give A A A B B C.
    const std::vector<uint8_t> pictures[3] = {{'A'}, {'B'}, {'C'}};
    std::deque<QueuedPicture> queue;
    for (const auto& p : pictures)
        queue.push_back({1, p.data()});
    uint8_t output = '?';
    bool haveOutput = false;
    std::string seen;
    while (!queue.empty()) {
        if (readQueuedPicture(queue.front(), &output, 1, haveOutput))
            queue.pop_front();
        seen += static_cast<char>(output);
    }
    EXPECT_EQ(seen, "AAABBC");
    // Two late slots: the previous picture twice more before the new one.
    queue = {{0, pictures[0].data()}, {2, pictures[1].data()}};
    haveOutput = false;
    seen.clear();
    while (!queue.empty()) {
        if (readQueuedPicture(queue.front(), &output, 1, haveOutput))
            queue.pop_front();
        seen += static_cast<char>(output);
    }
    EXPECT_EQ(seen, "AAAB");
}

} // namespace
} // namespace moxel
