// How much audio each frame carries (video time plus send-ahead, the 24576
// budget, the stop rules for coders that return 0 or fail), what
// audioNeeded asks for, the offset that sync frames announce, the pacing by
// the rate the frames announce, and the end of the sound: the coder's
// remainder and flush in the last frames.
#include "EncoderTestSupport.h"

#include "container/FourCC.h"
#include "container/FrameRateCode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace moxel;
using namespace moxel::test;

namespace {

const uint32_t kFakeAudio = makeFourCC("FAKA");

struct AudioSetup {
    int sampleRate = 8000; // mono 16-bit: 16000 bytes a second
    int sendAheadMs = 0;
    bool video = false;
    double frameRate = 15.0;
    int maxSync = 120;
};

// Configures and opens the job's encoder; the job's scripts make the job.coders.
KmfEncoder& openAudioJob(FakeJob& job, const AudioSetup& s)
{
    KmfEncoder& encoder = job.encoder;
    encoder.setAudioSendAheadMs(s.sendAheadMs);
    encoder.setMaxSync(s.maxSync);
    if (s.video)
        job.setFakeVideo(s.frameRate);
    if (job.coders.audio)
        encoder.setAudio(kFakeAudio, s.sampleRate, 1, 16, kFourCCPcm, nullptr);
    job.open();
    EXPECT_EQ(encoder.errorText(), nullptr);
    return encoder;
}

double seconds(uint64_t bytes, int bytesPerSecond)
{
    return double(bytes) / bytesPerSecond;
}

// Drives a job without pictures the way the worker does: audio until the
// encoder has enough, endAudio once pcm is used up, a last frame once the
// encoder holds none of the sound, then finishAudio. The number of frames,
// or -1 when the job had not ended after maxFrames.
int runSoundOnly(KmfEncoder& encoder, const std::vector<uint8_t>& pcm, int maxFrames = 500)
{
    size_t fed = 0;
    bool ended = false;
    for (int frame = 1; frame <= maxFrames; ++frame) {
        if (!ended) {
            feedAudio(encoder, pcm, &fed);
            ended = fed == pcm.size() && encoder.audioNeeded() != AudioNeed::Enough;
            if (ended)
                encoder.endAudio();
        }
        const bool last = ended && encoder.audioNeeded() == AudioNeed::MoreWantedEmpty &&
                          !encoder.audioFlushPending();
        encoder.addVideoFrame(nullptr);
        if (last) {
            encoder.finishAudio();
            return frame;
        }
    }
    return -1;
}

// Bytes of the flush (kFakeFlushByte) in each frame.
std::vector<size_t> flushBytes(const std::vector<ParsedFrame>& frames)
{
    std::vector<size_t> counts;
    for (const ParsedFrame& f : frames)
        counts.push_back(size_t(std::count(f.audio.begin(), f.audio.end(), kFakeFlushByte)));
    return counts;
}

} // namespace

TEST(KmfEncoderAudio, WithoutVideoEachFrameReachesTheVideoTimePlusSendAhead)
{
    FakeJob job;
    job.coders.audio = audioChunks(160, 4);
    AudioSetup setup;
    setup.sendAheadMs = 200;
    setup.maxSync = 0; // every frame shows the stream description and the offset
    KmfEncoder& encoder = openAudioJob(job, setup);
    std::vector<uint8_t> pcm(32000, 0x42);
    size_t fed = 0;
    std::vector<uint64_t> consumed;
    for (int k = 1; k <= 20; ++k) {
        feedAudio(encoder, pcm, &fed);
        encoder.addVideoFrame(nullptr);
        ASSERT_EQ(encoder.errorText(), nullptr);
        consumed.push_back(encoder.audioBytesConsumed());
        // The frame stops at the first 160-byte call that reaches k/15 s + 0.2 s.
        double target = k / 15.0 + 0.2;
        EXPECT_GE(seconds(consumed.back(), 16000), target) << "frame " << k;
        EXPECT_LT(seconds(consumed.back() - 160, 16000), target) << "frame " << k;
    }
    EXPECT_EQ(consumed[0], 4320u); // 1/15 s plus the send-ahead, in whole calls
    ASSERT_TRUE(encoder.close());

    std::vector<ParsedFrame> frames = job.frames();
    ASSERT_EQ(frames.size(), 20u);
    EXPECT_EQ(frames[0].audio.size(), 4320u / 160 * 4);
    for (const ParsedFrame& f : frames) {
        EXPECT_TRUE(f.sync);
        EXPECT_EQ(f.width, 0);
        EXPECT_EQ(f.frameRateCode, 15); // the default rate without video
        EXPECT_EQ(f.videoFormat, kFourCCNone);
        EXPECT_EQ(f.audioFormat, kFakeAudio);
        EXPECT_TRUE(f.video.empty());
        EXPECT_EQ(f.syncOffset, 0);
    }
}

TEST(KmfEncoderAudio, AudioNeeded)
{
    // 16000 bytes a second at 15 fps: the first frame wants 1066.7 bytes.
    struct Row {
        int sendAheadMs;
        int queued;
        AudioNeed expect;
    } rows[] = {
        {0, 0, AudioNeed::MoreWantedEmpty}, {0, 500, AudioNeed::MoreWanted},
        {0, 1066, AudioNeed::MoreWanted},   {0, 1067, AudioNeed::Enough},
        {0, 5000, AudioNeed::Enough},       {100, 2666, AudioNeed::MoreWanted},
        {100, 2667, AudioNeed::Enough},     {-50, 266, AudioNeed::MoreWanted},
        {-50, 267, AudioNeed::Enough},
    };
    for (const Row& row : rows) {
        FakeJob job;
        job.coders.audio = audioChunks(0, 0);
        AudioSetup setup;
        setup.sendAheadMs = row.sendAheadMs;
        KmfEncoder& encoder = openAudioJob(job, setup);
        std::vector<uint8_t> pcm(size_t(row.queued), 0);
        encoder.addAudioData(pcm.data(), row.queued);
        EXPECT_EQ(encoder.audioNeeded(), row.expect)
            << "send-ahead " << row.sendAheadMs << ", queued " << row.queued;
    }
}

TEST(KmfEncoderAudio, BudgetEndsTheDrainOfAGenerousCoder)
{
    // Output so far plus the average call must stay within 24576 bytes.
    struct Row {
        int outPerCall;
        int expectCalls;
    } rows[] = {{5000, 4}, {9000, 2}, {12288, 2}, {8192, 3}, {30000, 1}};
    for (const Row& row : rows) {
        FakeJob job;
        job.coders.audio = audioChunks(100, row.outPerCall);
        AudioSetup setup;
        setup.sendAheadMs = 10000; // the time test never ends these drains
        KmfEncoder& encoder = openAudioJob(job, setup);
        std::vector<uint8_t> pcm(200000, 1);
        encoder.addAudioData(pcm.data(), int(pcm.size()));
        encoder.addVideoFrame(nullptr);
        ASSERT_EQ(encoder.errorText(), nullptr) << row.outPerCall;
        EXPECT_EQ(job.coders.audioCoder->calls, row.expectCalls) << row.outPerCall;
        ASSERT_TRUE(encoder.close());
        std::vector<ParsedFrame> frames = job.frames();
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(int(frames[0].audio.size()), row.outPerCall * row.expectCalls);
    }
}

TEST(KmfEncoderAudio, StopRules)
{
    struct Row {
        const char* name;
        AudioScript script;
        int expectCalls;
        uint64_t expectConsumed;
    } rows[] = {
        {"returns 0, takes nothing", audioChunks(0, 0), 1, 0},
        {"returns 0 while buffering, until the queue is empty", audioChunks(100, 0), 3, 300},
        {"output without input runs into the budget", audioChunks(150, 10), 2457, 300},
        {"negative forever without progress",
         [](int, int, int* consumed, int) {
             *consumed = 0;
             return -1;
         },
         kEncoderMaxIdleAudioCalls, 0},
        {"negative while taking input, then without progress",
         [](int, int inLength, int* consumed, int) {
             *consumed = inLength < 100 ? inLength : 100;
             return -1;
         },
         3 + kEncoderMaxIdleAudioCalls, 300},
    };
    for (const Row& row : rows) {
        FakeJob job;
        job.coders.audio = row.script;
        KmfEncoder& encoder = openAudioJob(job, AudioSetup{});
        std::vector<uint8_t> pcm(300, 7); // well short of the 1066 bytes of one frame
        encoder.addAudioData(pcm.data(), int(pcm.size()));
        encoder.addVideoFrame(nullptr);
        EXPECT_EQ(encoder.errorText(), nullptr) << row.name;
        EXPECT_EQ(job.coders.audioCoder->calls, row.expectCalls) << row.name;
        EXPECT_EQ(encoder.audioBytesConsumed(), row.expectConsumed) << row.name;
        EXPECT_EQ(encoder.audioQueued(), 300 - row.expectConsumed) << row.name;
        EXPECT_EQ(encoder.framesWritten(), 1u) << row.name;
    }
}

TEST(KmfEncoderAudio, SyncFramesAnnounceTheOffsetOfTheFramesBefore)
{
    // 8192 Hz mono (16384 bytes a second), 8 fps, 256-byte calls: every value
    // below is exact in binary, so truncation toward zero is what is tested.
    struct Row {
        const char* name;
        int sendAheadMs;
        bool audio;
        std::vector<int> expectOffsets;
    } rows[] = {
        {"audio ahead", 100, true, {0, 109, 109, 109}},
        {"audio behind: truncated toward zero", -100, true, {0, -93, -93, -93}},
        {"no audio", 100, false, {0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        FakeJob job(videoOfSize(2));
        if (row.audio)
            job.coders.audio = audioChunks(256, 1);
        AudioSetup setup;
        setup.sampleRate = 8192;
        setup.sendAheadMs = row.sendAheadMs;
        setup.video = true;
        setup.frameRate = 8.0;
        setup.maxSync = 0;
        KmfEncoder& encoder = openAudioJob(job, setup);
        std::vector<uint8_t> pcm(65536, 0);
        size_t fed = 0;
        for (size_t i = 0; i < row.expectOffsets.size(); ++i) {
            if (row.audio)
                feedAudio(encoder, pcm, &fed);
            encoder.addVideoFrame(dummyPicture());
        }
        ASSERT_TRUE(encoder.close()) << row.name;
        std::vector<ParsedFrame> frames = job.frames();
        std::vector<int> offsets;
        for (const ParsedFrame& f : frames) {
            EXPECT_TRUE(f.sync);
            offsets.push_back(f.syncOffset);
        }
        EXPECT_EQ(offsets, row.expectOffsets) << row.name;
    }
}

TEST(KmfEncoderAudio, AudioOfAStreamWithoutAudioIsDiscarded)
{
    FakeJob job(videoOfSize(2));
    KmfEncoder& encoder = job.encoder;
    job.setFakeVideo(15.0);
    encoder.setAudio(kFourCCNone, 8000, 1, 16, kFourCCPcm, nullptr);
    job.open();
    ASSERT_EQ(encoder.errorText(), nullptr);
    EXPECT_EQ(job.coders.audioCoder, nullptr);
    std::vector<uint8_t> pcm(1 << 20, 3);
    size_t fed = 0;
    for (int i = 0; i < 30; ++i) {
        feedAudio(encoder, pcm, &fed);
        EXPECT_EQ(encoder.audioNeeded(), AudioNeed::Enough); // paced like real audio...
        EXPECT_EQ(encoder.audioQueued(), 0u);                // ...but never kept
        encoder.addVideoFrame(dummyPicture());
    }
    EXPECT_LT(fed, 3u * 16384 + 30u * 1067); // no more than the frames' worth, in blocks
    ASSERT_TRUE(encoder.close());
    for (const ParsedFrame& f : job.frames()) {
        EXPECT_TRUE(f.audio.empty());
        EXPECT_EQ(f.syncOffset, 0);
    }
}

TEST(KmfEncoderAudio, FramesArePacedByTheRateTheirCodeAnnounces)
{
    // 12.4 fps has no code; the frames announce 12.5 fps, so 25 frames are
    // 2 s of sound and of header length (12.4 would make them 2.016 s).
    FakeJob job(videoOfSize(8));
    job.coders.audio = audioChunks(16, 1);
    job.encoder.setHdrTocSize(16);
    AudioSetup setup;
    setup.video = true;
    setup.frameRate = 12.4;
    KmfEncoder& encoder = openAudioJob(job, setup);
    EXPECT_EQ(encoder.pacedFrameRate(), 12.5);
    std::vector<uint8_t> pcm(64000, 3);
    size_t fed = 0;
    for (int k = 0; k < 25; ++k) {
        feedAudio(encoder, pcm, &fed);
        encoder.addVideoFrame(dummyPicture());
    }
    EXPECT_GE(encoder.audioBytesConsumed(), 32000u);
    EXPECT_LT(encoder.audioBytesConsumed(), 32016u);
    EXPECT_EQ(encoder.frame().syncOffset, 0);
    ASSERT_TRUE(encoder.close());
    ParsedHeader header;
    std::vector<ParsedFrame> frames = job.frames(&header);
    ASSERT_EQ(frames.size(), 25u);
    EXPECT_EQ(decodeFrameRate(uint8_t(frames[0].frameRateCode)), 12.5);
    EXPECT_EQ(header.lengthMs, 2000u);
}

TEST(KmfEncoderAudio, TheFrameThatReachesTheEndOfTheSoundTakesTheRemainderAndTheFlush)
{
    // Whole 1000-byte blocks: 10500 bytes leave a remainder of 500.
    FakeJob job;
    job.coders.audio = wholeBlocks(1000, 100);
    job.coders.flush = [](int inLength, int* consumed, int, int*) {
        *consumed = inLength;
        return 300;
    };
    KmfEncoder& encoder = openAudioJob(job, AudioSetup());
    const int frames = runSoundOnly(encoder, std::vector<uint8_t>(10500, 7));
    ASSERT_NE(frames, -1) << "the job never ended";
    const FakeFlushingAudioCoder& coder = *job.coders.flushingCoder;
    EXPECT_EQ(coder.flushInputs, std::vector<int>{500});
    EXPECT_EQ(coder.encodeCallsAfterFlush, 0);
    EXPECT_EQ(encoder.audioBytesConsumed(), 10500u);
    EXPECT_EQ(encoder.audioQueued(), 0u);
    ASSERT_TRUE(encoder.close());

    // The sound lasts 0.656 s: nine frames take its blocks, the tenth
    // reaches its end and carries the flush alone, and the last frame
    // follows with nothing.
    std::vector<ParsedFrame> parsed = job.frames();
    ASSERT_EQ(int(parsed.size()), frames);
    ASSERT_EQ(parsed.size(), 11u);
    std::vector<size_t> expected(11, 0);
    expected[9] = 300;
    EXPECT_EQ(flushBytes(parsed), expected);
    EXPECT_EQ(parsed[9].audio.size(), 300u);
    EXPECT_TRUE(parsed[10].audio.empty());
}

TEST(KmfEncoderAudio, ACoderThatCannotBeFlushedLosesOnlyItsRemainder)
{
    FakeJob job;
    job.coders.audio = wholeBlocks(1000, 100);
    KmfEncoder& encoder = openAudioJob(job, AudioSetup());
    ASSERT_NE(runSoundOnly(encoder, std::vector<uint8_t>(10500, 7)), -1) << "never ended";
    EXPECT_EQ(encoder.audioBytesConsumed(), 10000u);
    EXPECT_EQ(encoder.audioQueued(), 0u);
    ASSERT_TRUE(encoder.close());
    size_t audio = 0;
    for (const ParsedFrame& f : job.frames())
        audio += f.audio.size();
    EXPECT_EQ(audio, 1000u);
}

TEST(KmfEncoderAudio, AFlushLongerThanAFrameGoesOnInTheNextFrames)
{
    FakeJob job;
    job.coders.audio = wholeBlocks(1000, 100);
    int left = 50000;
    job.coders.flush = [&left](int inLength, int* consumed, int outRoom, int* pending) {
        *consumed = inLength;
        const int n = std::min({left, outRoom, 20000});
        left -= n;
        *pending = left > 0;
        return n;
    };
    KmfEncoder& encoder = openAudioJob(job, AudioSetup());
    ASSERT_NE(runSoundOnly(encoder, std::vector<uint8_t>(10500, 7)), -1) << "never ended";
    EXPECT_EQ(job.coders.flushingCoder->flushInputs.front(), 500);
    ASSERT_TRUE(encoder.close());
    std::vector<size_t> counts = flushBytes(job.frames());
    ASSERT_GE(counts.size(), 3u);
    // The flush fills the tenth frame's whole room, the rest goes into the
    // next, and the last frame follows empty.
    EXPECT_EQ(counts[counts.size() - 3], 32768u);
    EXPECT_EQ(counts[counts.size() - 2], 50000u - 32768u);
    EXPECT_EQ(counts.back(), 0u);
}

TEST(KmfEncoderAudio, AfterThePicturesTheFlushGoesIntoOneFrameWithoutAPicture)
{
    struct Case {
        const char* name;
        bool flushing;
        size_t soundBytes; // 8000 Hz mono; ten pictures at 25 fps are 6400 bytes
        size_t frames;
        std::vector<int> flushInputs;
        int flushFrame; // the frame carrying the flush, -1 for none
    } cases[] = {
        // The sound outlasts the pictures: only what the coder holds comes out,
        // in an eleventh frame.
        {"flushed after the pictures", true, 32000, 11, {0}, 10},
        // Sound that ends before the pictures is flushed where it ends.
        {"sound ends first", true, 4800, 10, {192}, 7},
        // A coder without flush adds nothing.
        {"cannot be flushed", false, 32000, 10, {}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeJob job(videoOfSize(8));
        job.coders.audio = wholeBlocks(256, 50);
        if (c.flushing)
            job.coders.flush = [](int inLength, int* consumed, int, int*) {
                *consumed = inLength;
                return 80;
            };
        job.encoder.setHdrTocSize(16);
        AudioSetup setup;
        setup.video = true;
        setup.frameRate = 25.0;
        KmfEncoder& encoder = openAudioJob(job, setup);
        std::vector<uint8_t> pcm(c.soundBytes, 5);
        size_t fed = 0;
        bool ended = false;
        for (int k = 0; k < 10; ++k) {
            feedAudio(encoder, pcm, &fed);
            if (!ended && fed == pcm.size() && encoder.audioNeeded() != AudioNeed::Enough) {
                encoder.endAudio();
                ended = true;
            }
            encoder.addVideoFrame(dummyPicture());
        }
        encoder.finishAudio();
        ASSERT_EQ(encoder.errorText(), nullptr);
        if (c.flushing) {
            EXPECT_EQ(job.coders.flushingCoder->flushInputs, c.flushInputs);
        }
        ASSERT_TRUE(encoder.close());

        ParsedHeader header;
        std::vector<ParsedFrame> frames = job.frames(&header);
        ASSERT_EQ(frames.size(), c.frames);
        EXPECT_EQ(header.lengthMs, 40u * c.frames);
        for (size_t i = 0; i < frames.size(); ++i) {
            const bool tail = i == 10;
            EXPECT_EQ(frames[i].video.size(), tail ? 0u : 8u) << i;
            EXPECT_EQ(flushBytes(frames)[i], int(i) == c.flushFrame ? 80u : 0u) << i;
        }
    }
}
