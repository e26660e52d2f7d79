// The decoder source end to end on clips written by the FFmpeg libraries:
// what each kind of file opens with, how many pictures and how much PCM it
// delivers, the frame-rate rules, damaged and missing files, and closing
// while both decoding threads are held back by full queues.
#include "sources/DecoderSource.h"

#include "SourceTestSupport.h"
#include "settings/ProgramFolders.h"
#include "sources/SourceHolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace moxel {
namespace {

using test::ClipSpec;
using test::counting;

using DecoderSourceTest = test::ClipTest;

// The thread checker's build decodes without the codec's threads.
#if defined(__SANITIZE_THREAD__)
constexpr bool kCodecThreadsChecked = false;
#else
constexpr bool kCodecThreadsChecked = true;
#endif

struct ClipCase {
    const char* name;
    ClipSpec spec;
    double inFps; // 0: not checked
    int outWidth, outHeight;
    int minPictures, maxPictures;
    double audioToleranceSeconds; // of the output PCM; below 0: no audio expected
};

ClipSpec makeSpec(const char* video, const char* audio, int width = 160, int height = 120,
                  int fpsNum = 25, int fpsDen = 1, int frames = 25)
{
    ClipSpec spec;
    spec.videoCodec = video;
    spec.audioCodec = audio;
    spec.width = width;
    spec.height = height;
    spec.fpsNum = fpsNum;
    spec.fpsDen = fpsDen;
    spec.frameCount = frames;
    return spec;
}

TEST_F(DecoderSourceTest, EachKindOfClipOpensAndDelivers)
{
    ClipSpec vfr = makeSpec("mpeg4", "", 160, 120, 25, 1, 21);
    vfr.skipEvery = 5; // 21 pictures over 25 slots
    ClipSpec surround = makeSpec("", "aac");
    surround.channels = 6;
    surround.audioSeconds = 0.5;
    ClipSpec wav = makeSpec("", "pcm_s16le");
    wav.audioSeconds = 0.75;
    ClipSpec mp3 = makeSpec("", "mp3");
    mp3.audioSeconds = 0.5;
    mp3.sampleRate = 22050;
    mp3.channels = 1;
    ClipSpec mjpeg = makeSpec("mjpeg", "pcm_u8");
    mjpeg.sampleRate = 11025;
    mjpeg.channels = 1;

    const ClipCase cases[] = {
        {"h264_aac.mp4", makeSpec("h264", "aac"), 25.0, 160, 128, 25, 25, 0.05},
        {"mjpeg_u8.avi", mjpeg, 25.0, 160, 128, 25, 25, 0.01},
        {"vfr.mkv", vfr, 25.0, 160, 128, 25, 25, -1},
        {"mpeg4_mp3.ts", makeSpec("mpeg4", "mp3"), 25.0, 160, 128, 25, 26, 0.08},
        {"video_only.avi", makeSpec("mpeg4", "", 160, 120, 25, 1, 10), 25.0, 160, 128, 10, 10, -1},
        {"ntsc.mp4", makeSpec("h264", "aac", 160, 120, 30000, 1001, 15), 30000.0 / 1001, 160, 128,
         15, 15, 0.05},
        {"film.avi", makeSpec("mpeg4", "", 160, 120, 24000, 1001, 12), 24000.0 / 1001, 160, 128, 12,
         13, -1},
        {"odd_width.avi", makeSpec("rawvideo", "", 321, 120, 25, 1, 5), 25.0, 336, 128, 5, 5, -1},
        {"surround.mp4", surround, 15.0, 0, 0, 0, 0, 0.05},
        {"tone.wav", wav, 15.0, 0, 0, 0, 0, 0.0},
        {"tone.mp3", mp3, 15.0, 0, 0, 0, 0, 0.1},
    };
    for (const ClipCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = clip(c.name, c.spec);
        DecoderSource source;
        ASSERT_TRUE(source.open(path, m_dir.file("missing.pf")));
        const bool video = !c.spec.videoCodec.empty();
        const bool audio = !c.spec.audioCodec.empty();
        EXPECT_EQ(source.hasVideo, video);
        EXPECT_EQ(source.hasAudio, audio);
        if (video) {
            EXPECT_EQ(source.inWidth, c.spec.width);
            EXPECT_EQ(source.inHeight, c.spec.height);
        }
        EXPECT_NEAR(source.inFrameRate, c.inFps, 1e-6);
        EXPECT_DOUBLE_EQ(source.frameRate, source.inFrameRate);
        EXPECT_NEAR(source.durationSeconds, test::clipVideoSeconds(c.spec), 0.1);
        EXPECT_EQ(source.outWidth, c.outWidth);
        EXPECT_EQ(source.outHeight, c.outHeight);
        if (audio) {
            EXPECT_EQ(source.inRate, c.spec.sampleRate);
            EXPECT_EQ(source.inChannels, c.spec.channels);
        }

        const test::DrainResult got = test::drainSource(source);
        EXPECT_GE(int(got.frameNumbers.size()), c.minPictures);
        EXPECT_LE(int(got.frameNumbers.size()), c.maxPictures);
        // The counter reads back in order: the pictures are upright, unskewed and complete.
        for (size_t i = 0; i < got.frameNumbers.size(); ++i) {
            ASSERT_GE(got.frameNumbers[i], 0) << "picture " << i;
            if (i > 0) {
                EXPECT_GE(got.frameNumbers[i], got.frameNumbers[i - 1]);
            }
        }
        if (video && !got.frameNumbers.empty()) {
            EXPECT_EQ(got.frameNumbers.front(), 0);
            EXPECT_EQ(got.frameNumbers.back(), c.spec.frameCount - 1);
        }
        if (audio) {
            const double seconds =
                c.spec.audioSeconds >= 0 ? c.spec.audioSeconds : test::clipVideoSeconds(c.spec);
            const double expectedBytes = seconds * 44100 * 2 * 2;
            EXPECT_NEAR(double(got.audioBytes), expectedBytes,
                        c.audioToleranceSeconds * 44100 * 4 + 4);
            EXPECT_TRUE(got.countsAligned);
            int peak = 0;
            for (int16_t s : got.samples)
                peak = std::max(peak, std::abs(int(s)));
            EXPECT_GT(peak, 3000); // the tone is there
        } else {
            EXPECT_EQ(got.audioBytes, 0);
        }
        EXPECT_EQ(source.close(), 1);
    }
}

TEST_F(DecoderSourceTest, SkippedSlotsOfAVariableRateFileRepeatThePreviousPicture)
{
    ClipSpec spec = makeSpec("mpeg4", "", 160, 120, 25, 1, 9);
    spec.skipEvery = 3; // pictures 0 1 2 _ 3 4 5 _ 6 7 8
    DecoderSource source;
    ASSERT_TRUE(source.open(clip("gaps.mkv", spec), ""));
    const std::vector<int> expected = {0, 1, 2, 2, 3, 4, 5, 5, 6, 7, 8};
    EXPECT_EQ(test::drainSource(source).frameNumbers, expected);
}

TEST_F(DecoderSourceTest, AVariableRateStreamLastsItsDurationAtTheRateOfItsTimestamps)
{
    // 5 s at 10 fps, then 5 s at 60 fps, with 10 s of sound; Matroska
    // reports the rate the stream starts with.
    const std::string path = m_dir.file("ten_then_sixty.mkv");
    std::string error;
    ASSERT_TRUE(test::runFfmpeg({"-f",
                                 "lavfi",
                                 "-i",
                                 "testsrc=size=64x48:rate=10:duration=5",
                                 "-f",
                                 "lavfi",
                                 "-i",
                                 "testsrc=size=64x48:rate=60:duration=5",
                                 "-f",
                                 "lavfi",
                                 "-i",
                                 "sine=duration=10",
                                 "-filter_complex",
                                 "[0:v][1:v]concat=n=2:v=1:a=0,settb=1/1000[v]",
                                 "-map",
                                 "[v]",
                                 "-map",
                                 "2:a",
                                 "-fps_mode",
                                 "vfr",
                                 "-c:v",
                                 "mpeg4",
                                 "-c:a",
                                 "aac",
                                 path},
                                &error))
        << error;
    DecoderSource source;
    ASSERT_TRUE(source.open(path, ""));
    EXPECT_NEAR(source.inFrameRate, 35.0, 0.1); // 350 pictures in 10 s
    EXPECT_DOUBLE_EQ(source.frameRate, 35.0);
    EXPECT_NEAR(double(test::drainSource(source).frameNumbers.size()), 10.0 * 35.0, 1.0);
    // The 10 fps half is filled up, the 60 fps half thinned out.
    EXPECT_GT(source.counters.picturesRepeated.load(), 100);
    EXPECT_LT(source.counters.firstRepeatAtMs.load(), 150);
    EXPECT_GT(source.counters.picturesDropped.load(), 100);
    EXPECT_NEAR(double(source.counters.firstDropAtMs.load()), 5000.0, 60.0);

    DecoderSource converted;
    ASSERT_TRUE(converted.open(path, profile({{"outfruse", "1"}, {"outfror", "25"}})));
    EXPECT_NEAR(double(test::drainSource(converted).frameNumbers.size()), 10.0 * 25.0, 1.0);
}

TEST_F(DecoderSourceTest, ARateWithoutFrameRateCodeConvertsToTheNearestCode)
{
    // 30 fps with one picture missing after every 30: 29.27 fps over the
    // file, which the container writes as 29.
    ClipSpec spec = makeSpec("mpeg4", "", 64, 48, 30, 1, 120);
    spec.skipEvery = 30;
    DecoderSource source;
    ASSERT_TRUE(source.open(clip("dropped.mp4", spec), ""));
    EXPECT_NEAR(source.inFrameRate, 29.27, 0.01);
    EXPECT_DOUBLE_EQ(source.frameRate, 29.0);
    const double seconds = 120 / source.inFrameRate;
    EXPECT_NEAR(double(test::drainSource(source).frameNumbers.size()), seconds * 29.0, 1.0);
    // An output rate without a code converts to the nearest code as well.
    DecoderSource ntsc;
    ASSERT_TRUE(
        ntsc.open(clip("dropped.mp4", spec), profile({{"outfruse", "1"}, {"outfror", "29.97"}})));
    EXPECT_DOUBLE_EQ(ntsc.frameRate, 30000.0 / 1001);
}

TEST_F(DecoderSourceTest, IgnoringDropsTakesEffectForThePicturesDecidedAfterIt)
{
    // The decoding thread starts deciding at open, so a few pictures may be
    // decided before the option arrives; the picture queue's limit of 16
    // bounds how many. Everything after that comes without repeats.
    ClipSpec spec = makeSpec("mpeg4", "", 64, 48, 25, 1, 60);
    spec.skipEvery = 3; // 60 pictures on 80 slots
    DecoderSource ignoring;
    ASSERT_TRUE(ignoring.open(clip("many_gaps.mkv", spec), ""));
    EXPECT_EQ(ignoring.setOption("IGNORE_DROPS", 1), 0);
    const std::vector<int> numbers = test::drainSource(ignoring).frameNumbers;
    ASSERT_GE(numbers.size(), 60u);
    EXPECT_LT(numbers.size(), 80u);
    const std::vector<int> tail(numbers.end() - 30, numbers.end());
    EXPECT_EQ(tail, counting(30, 59));
}

TEST_F(DecoderSourceTest, NtscRatesMakeNoPicturesUp)
{
    // No picture of a 1001-based rate may look late for its slot through the
    // rounding of its start time (Matroska keeps whole milliseconds).
    for (const auto& [name, num] :
         {std::pair{"long_ntsc.mp4", 30000}, std::pair{"long_film.mp4", 24000},
          std::pair{"long_ntsc.avi", 30000}, std::pair{"long_film.avi", 24000},
          std::pair{"long_ntsc.mkv", 30000}, std::pair{"long_film.mkv", 24000}}) {
        SCOPED_TRACE(name);
        DecoderSource source;
        ASSERT_TRUE(source.open(clip(name, makeSpec("mpeg4", "", 64, 48, num, 1001, 300)), ""));
        EXPECT_EQ(test::drainSource(source).frameNumbers.size(), 300u);
    }
}

TEST_F(DecoderSourceTest, PicturesStoredOutOfOrderComeOutInOrder)
{
    for (const char* codec : {"h264", "mpeg4"}) {
        SCOPED_TRACE(codec);
        ClipSpec spec = makeSpec(codec, "aac", 160, 120, 25, 1, 30);
        spec.bFrames = 2;
        DecoderSource source;
        ASSERT_TRUE(source.open(clip(std::string("reordered_") + codec + ".mp4", spec), ""));
        EXPECT_EQ(test::drainSource(source).frameNumbers, counting(0, 29));
    }
}

TEST_F(DecoderSourceTest, TheCodecsOwnThreadsDrainEveryPictureInOrder)
{
    // Frame threads hold several pictures at the end of the file; the
    // drain must hand out each of them once, in order.
    ClipSpec spec = makeSpec("h264", "", 160, 120, 25, 1, 61);
    spec.bFrames = 3;
    const std::string path = clip("threaded.mp4", spec);
    StreamDecoder decoder;
    ASSERT_EQ(decoder.open(path, AVMEDIA_TYPE_VIDEO), StreamDecoder::OpenResult::Opened);
    if (std::thread::hardware_concurrency() > 1 && kCodecThreadsChecked) {
        EXPECT_GT(decoder.codec()->thread_count, 1);
        EXPECT_TRUE(decoder.codec()->active_thread_type & FF_THREAD_FRAME);
    }
    FramePtr frame(av_frame_alloc());
    std::vector<int64_t> stamps;
    while (decoder.next(frame.get())) {
        stamps.push_back(frame->best_effort_timestamp);
        av_frame_unref(frame.get());
    }
    ASSERT_EQ(stamps.size(), 61u);
    for (size_t i = 1; i < stamps.size(); ++i)
        ASSERT_LT(stamps[i - 1], stamps[i]) << i;
    EXPECT_TRUE(decoder.reachedEnd());

    DecoderSource source;
    ASSERT_TRUE(source.open(path, ""));
    EXPECT_EQ(test::drainSource(source).frameNumbers, counting(0, 60));
}

TEST_F(DecoderSourceTest, TheProfileShapesThePictures)
{
    const std::string path = clip("shape.avi", makeSpec("mpeg4", "", 160, 120, 25, 1, 5));
    const struct {
        std::vector<std::pair<std::string, std::string>> keys;
        int width, height;
    } cases[] = {
        {{{"doresize", "1"}, {"resizew", "80"}, {"resizeh", "60"}, {"sizefix", "0"}}, 80, 60},
        {{{"doresize", "1"},
          {"resizew", "321"},
          {"resizeh", "241"},
          {"sizefix", "0"},
          {"filteringresize", "0"}},
         321,
         241},
        {{{"deinterlace", "1"}, {"sizefix", "0"}}, 160, 120},
        {{{"deinterlace", "2"}, {"doresize", "1"}, {"resizew", "100"}, {"resizeh", "100"}},
         112,
         112},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        DecoderSource source;
        ASSERT_TRUE(source.open(path, profile(c.keys)));
        EXPECT_EQ(source.outWidth, c.width);
        EXPECT_EQ(source.outHeight, c.height);
        EXPECT_EQ(test::drainSource(source).frameNumbers, counting(0, 4));
    }
}

TEST_F(DecoderSourceTest, AProfileThatCannotBeProcessedIsRefused)
{
    const std::string path = clip("refuse.avi", makeSpec("mpeg4", "pcm_s16le", 160, 120, 25, 1, 2));
    for (const auto& keys : std::vector<std::vector<std::pair<std::string, std::string>>>{
             {{"crop_l", "100"}, {"crop_r", "60"}}, {{"crop_t", "-4"}}, {{"out_channels", "6"}}}) {
        test::RecordingPrompt prompt;
        SourceHolder holder(&prompt);
        EXPECT_FALSE(holder.open(path, profile(keys)));
        ASSERT_EQ(prompt.messages.size(), 1u);
        EXPECT_NE(prompt.messages[0].text.find("profile"), std::string::npos)
            << prompt.messages[0].text;
    }
}

TEST_F(DecoderSourceTest, OutputFrameRateDropsAndRepeats)
{
    const std::string path = clip("twentyfive.avi", makeSpec("mpeg4", "", 160, 120, 25, 1, 20));
    {
        DecoderSource source;
        ASSERT_TRUE(source.open(path, profile({{"outfruse", "1"}, {"outfror", "12.5"}})));
        EXPECT_DOUBLE_EQ(source.frameRate, 12.5);
        EXPECT_DOUBLE_EQ(source.inFrameRate, 25.0);
        // Every second picture is dropped, the first among them.
        const std::vector<int> expected = {1, 3, 5, 7, 9, 11, 13, 15, 17, 19};
        EXPECT_EQ(test::drainSource(source).frameNumbers, expected);
    }
    {
        DecoderSource source;
        ASSERT_TRUE(source.open(path, profile({{"outfruse", "1"}, {"outfror", "50"}})));
        const std::vector<int> numbers = test::drainSource(source).frameNumbers;
        // Each picture is preceded by one repetition of the one before it
        // (the first by one of itself): 0 0 0 1 1 2 ... 18 18 19.
        ASSERT_EQ(numbers.size(), 40u);
        EXPECT_EQ(numbers[0], 0);
        for (size_t i = 1; i < numbers.size(); ++i)
            EXPECT_EQ(numbers[i], int((i - 1) / 2)) << i;
    }
    {
        // "fr_or" after open changes the reported output rate.
        DecoderSource source;
        ASSERT_TRUE(source.open(path, ""));
        EXPECT_EQ(source.setOption("Fr_Or", 12.5), 0);
        EXPECT_DOUBLE_EQ(source.frameRate, 12.5);
        EXPECT_NE(source.setOption("other", 1.0), 0);
        EXPECT_NE(source.setOption("other", 1), 0);
    }
}

TEST_F(DecoderSourceTest, EightBitSilenceStaysSilentAndSurroundIsDownmixed)
{
    ClipSpec silence = makeSpec("", "pcm_u8");
    silence.toneAmplitude = 0.0;
    silence.audioSeconds = 0.25;
    silence.sampleRate = 22050;
    silence.channels = 1;
    DecoderSource quiet;
    ASSERT_TRUE(quiet.open(clip("silence.wav", silence),
                           profile({{"out_srate", "22050"}, {"out_channels", "1"}})));
    const test::DrainResult heard = test::drainSource(quiet);
    EXPECT_EQ(heard.audioBytes, int64_t(22050 / 4) * 2);
    for (int16_t s : heard.samples)
        ASSERT_EQ(s, 0);

    ClipSpec surround = makeSpec("", "pcm_s16le");
    surround.channels = 6;
    surround.audioSeconds = 0.25;
    DecoderSource mixed;
    ASSERT_TRUE(mixed.open(clip("surround.wav", surround), ""));
    EXPECT_EQ(mixed.inChannels, 6);
    const test::DrainResult stereo = test::drainSource(mixed);
    EXPECT_EQ(stereo.audioBytes, int64_t(44100 / 4) * 4);
    int peak = 0;
    for (int16_t s : stereo.samples)
        peak = std::max(peak, std::abs(int(s)));
    EXPECT_GT(peak, 5000);
    EXPECT_LT(peak, 32767); // weighted so that nothing clips
}

TEST_F(DecoderSourceTest, FormatChangesMidStreamApplyFromTheirFirstSample)
{
    // Two transport streams back to back: the second half has other pictures
    // sizes and sound at half the rate in mono.
    ClipSpec first = makeSpec("mpeg4", "mp3", 160, 120, 25, 1, 10);
    ClipSpec second = makeSpec("mpeg4", "mp3", 320, 240, 25, 1, 10);
    second.sampleRate = 22050;
    second.channels = 1;
    std::vector<uint8_t> joined = test::readFileBytes(clip("first.ts", first));
    const std::vector<uint8_t> tail = test::readFileBytes(clip("second.ts", second));
    joined.insert(joined.end(), tail.begin(), tail.end());
    test::writeFileBytes(m_dir.file("joined.ts"), joined);

    DecoderSource source;
    ASSERT_TRUE(source.open(m_dir.file("joined.ts"), ""));
    EXPECT_EQ(source.inWidth, 160);
    const test::DrainResult got = test::drainSource(source);
    ASSERT_EQ(got.frameNumbers.size(), 20u);
    for (size_t i = 0; i < got.frameNumbers.size(); ++i)
        EXPECT_EQ(got.frameNumbers[i], int(i % 10))
            << i; // the larger pictures are scaled to the first size
    // Read as 44.1 kHz stereo, the second half would give a quarter of its length.
    EXPECT_NEAR(double(got.audioBytes), 0.8 * 44100 * 4,
                0.15 * 44100 * 4); // with the encoder padding
}

TEST_F(DecoderSourceTest, AStreamWithoutFrameRateNeedsThePreference)
{
    ClipSpec still = makeSpec("mjpeg", "", 160, 120, 25, 1, 1);
    still.declareFrameRate = false;
    for (const char* name : {"still.mp4", "still.mkv"}) {
        SCOPED_TRACE(name);
        const std::string path = clip(name, still);
        programFolders().assumeFpsEnabled = false;
        test::RecordingPrompt prompt;
        SourceHolder refused(&prompt);
        EXPECT_FALSE(refused.open(path, ""));
        ASSERT_EQ(prompt.messages.size(), 1u);
        EXPECT_EQ(prompt.messages[0].text,
                  "DirectShow: error determining framerate. Use the preference option to "
                  "assume a framerate.\nfile: " +
                      path);

        programFolders().assumeFpsEnabled = true;
        programFolders().assumedFps = 0.0;
        DecoderSource assumed;
        ASSERT_TRUE(assumed.open(path, ""));
        EXPECT_DOUBLE_EQ(assumed.inFrameRate, 30.0);
        EXPECT_EQ(test::drainSource(assumed).frameNumbers, std::vector<int>{0});
    }
}

TEST_F(DecoderSourceTest, MissingFileShowsTheOpeningMessage)
{
    test::RecordingPrompt prompt;
    SourceHolder holder(&prompt);
    const std::string path = m_dir.file("nothing here.avi");
    EXPECT_FALSE(holder.open(path, ""));
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].title, "Error");
    EXPECT_EQ(prompt.messages[0].text, "DirectShow: error opening input file/stream:\n" + path);
    EXPECT_EQ(holder.close(), 1);
}

TEST_F(DecoderSourceTest, DamagedFilesEndWithoutACrash)
{
    // Garbage, and clips cut at several places or with their middle overwritten.
    std::vector<uint8_t> noise(20000);
    uint32_t seed = 12345;
    for (uint8_t& b : noise) {
        seed = seed * 1103515245u + 12345u;
        b = uint8_t(seed >> 24);
    }
    test::writeFileBytes(m_dir.file("noise.avi"), noise);
    std::vector<std::string> paths = {m_dir.file("noise.avi")};
    const std::pair<const char*, ClipSpec> originals[] = {
        {"cut.mkv", makeSpec("h264", "aac")},
        {"cut.mp4", makeSpec("h264", "aac")},
        {"cut.avi", makeSpec("mjpeg", "pcm_s16le")},
    };
    for (const auto& [name, spec] : originals) {
        const std::vector<uint8_t> bytes = test::readFileBytes(clip(name, spec));
        for (double cut : {0.3, 0.6, 0.9}) {
            const std::string truncated = m_dir.file(std::to_string(int(cut * 10)) + name);
            test::writeFileBytes(
                truncated,
                std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(bytes.size() * cut)));
            paths.push_back(truncated);
        }
        std::vector<uint8_t> scrambled = bytes;
        for (size_t i = scrambled.size() / 3; i < scrambled.size() * 2 / 3; i += 7)
            scrambled[i] ^= 0x5A;
        paths.push_back(m_dir.file(std::string("scrambled_") + name));
        test::writeFileBytes(paths.back(), scrambled);
    }
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        test::RecordingPrompt prompt;
        SourceHolder holder(&prompt);
        if (holder.open(path, "")) {
            const test::DrainResult got = test::drainSource(*holder.source());
            EXPECT_LE(got.frameNumbers.size(), 40u);
            EXPECT_TRUE(prompt.messages.empty());
        } else {
            EXPECT_EQ(prompt.messages.size(), 1u);
        }
        holder.close();
    }
}

TEST_F(DecoderSourceTest, BadlyInterleavedFileIsReadWithBoundedQueues)
{
    // All pictures first, then all sound: reading one stream's thread never
    // waits for the other's packets, and neither queue passes its limit.
    ClipSpec spec = makeSpec("mpeg4", "pcm_s16le", 160, 120, 25, 1, 100);
    spec.interleave = false;
    DecoderSource source;
    ASSERT_TRUE(source.open(clip("apart.mkv", spec), "")); // Matroska reads in file order
    test::DrainResult got;
    std::vector<uint8_t> buffer(16384);
    for (;;) {
        EXPECT_LE(source.queuedPictures(), DecoderSource::kMaxQueuedPictures);
        EXPECT_LE(source.queuedAudioBytes(), DecoderSource::kMaxQueuedAudioBytes + 64 * 1024);
        const uint8_t* picture = nullptr;
        if (!source.getVideoFrame(&picture))
            break;
        got.frameNumbers.push_back(
            test::readFrameNumber(picture, source.outWidth, source.outHeight));
        int length = 0;
        if (source.getAudio(buffer.data(), int(buffer.size()), &length))
            got.audioBytes += length;
    }
    int length = 0;
    while (source.getAudio(buffer.data(), int(buffer.size()), &length))
        got.audioBytes += length;
    EXPECT_EQ(got.frameNumbers.size(), 100u);
    EXPECT_EQ(got.audioBytes, int64_t(4 * 44100) * 4);
}

TEST_F(DecoderSourceTest, TheSoundQueueDoesNotGrowWithTheLengthOfTheSource)
{
    // 30 s of PCM, more than five times the queue's limit, read in the
    // worker's blocks: what the queue holds (read bytes not yet moved out
    // included) stays within twice the limit and a block.
    ClipSpec spec = makeSpec("", "pcm_s16le");
    spec.audioSeconds = 30.0;
    DecoderSource source;
    ASSERT_TRUE(source.open(clip("long_sound.wav", spec), ""));
    // Let the decoding thread run into the limit first, so that the reads
    // below start from a full queue however fast they are.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (source.queuedAudioBytes() < DecoderSource::kMaxQueuedAudioBytes &&
           std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::vector<uint8_t> buffer(16384);
    int64_t bytes = 0;
    size_t mostHeld = 0;
    int length = 0;
    while (source.getAudio(buffer.data(), int(buffer.size()), &length)) {
        bytes += length;
        mostHeld = std::max(mostHeld, source.audioBytesHeld());
    }
    EXPECT_EQ(bytes, int64_t(30 * 44100) * 4);
    EXPECT_GT(mostHeld, DecoderSource::kMaxQueuedAudioBytes / 2);
    EXPECT_LE(mostHeld, 2 * (DecoderSource::kMaxQueuedAudioBytes + 64 * 1024));
}

TEST_F(DecoderSourceTest, CloseReturnsWhileBothThreadsWaitOnFullQueues)
{
    ClipSpec spec = makeSpec("mpeg4", "pcm_s16le", 160, 120, 25, 1, 100);
    const std::string path = clip("long.avi", spec);
    for (int round = 0; round < 3; ++round) {
        auto source = std::make_unique<DecoderSource>();
        ASSERT_TRUE(source->open(path, ""));
        // Wait until both queues are full, i.e. both threads are held back.
        while (source->queuedPictures() < DecoderSource::kMaxQueuedPictures ||
               source->queuedAudioBytes() < DecoderSource::kMaxQueuedAudioBytes)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(source->queuedPictures(), DecoderSource::kMaxQueuedPictures);
        if (round == 1) {
            const uint8_t* picture = nullptr;
            EXPECT_EQ(source->getVideoFrame(&picture), 1);
        }
        EXPECT_EQ(source->close(), 1);
        const uint8_t* picture = nullptr;
        EXPECT_EQ(source->getVideoFrame(&picture), 0);
        int length = 3;
        uint8_t buffer[64];
        EXPECT_EQ(source->getAudio(buffer, 64, &length), 0);
        EXPECT_EQ(length, 0);
    }
}

} // namespace
} // namespace moxel
