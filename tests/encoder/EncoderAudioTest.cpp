// How much audio each frame carries (video time plus send-ahead, the 24576
// budget, the stop rules for coders that return 0 or fail), what
// audioNeeded asks for, and the offset that sync frames announce.
#include "EncoderTestSupport.h"

#include "container/FourCC.h"

#include <gtest/gtest.h>

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
