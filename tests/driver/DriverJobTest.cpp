// Whole jobs through the conversion driver on clips made for the test: each
// finished KMF file is read back with the container's reader and checked
// against what the source, the profile and the encoder's rules predict.
#include "DriverTestSupport.h"

#include "container/FourCC.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace moxel {
namespace {

using test::ClipSpec;
using test::KmfSummary;

using DriverJobTest = test::DriverTest;

ClipSpec spec(const char* video, const char* audio, int width = 160, int height = 120,
              int fpsNum = 25, int fpsDen = 1, int frames = 25)
{
    ClipSpec s;
    s.videoCodec = video;
    s.audioCodec = audio;
    s.width = width;
    s.height = height;
    s.fpsNum = fpsNum;
    s.fpsDen = fpsDen;
    s.frameCount = frames;
    return s;
}

// The frame numbers the RGB3 payloads show (3 bytes a pixel, rows bottom-up).
std::vector<int> payloadNumbers(const std::string& path, int width, int height)
{
    std::vector<int> numbers;
    for (const std::vector<uint8_t>& rgb : test::kmfVideoPayloads(path)) {
        if (rgb.size() != size_t(width) * height * 3) {
            numbers.push_back(-2);
            continue;
        }
        std::vector<uint8_t> bgra(size_t(width) * height * 4);
        for (size_t i = 0, j = 0; i < rgb.size(); i += 3, j += 4) {
            bgra[j] = rgb[i];
            bgra[j + 1] = rgb[i + 1];
            bgra[j + 2] = rgb[i + 2];
        }
        numbers.push_back(test::readFrameNumber(bgra.data(), width, height));
    }
    return numbers;
}

struct JobCase {
    const char* name;
    ClipSpec clip;
    test::Keys keys; // besides the uncompressed defaults
    int minFrames, maxFrames;
    int width, height; // of the output pictures
    uint8_t rateCode;
    double fps;            // output rate
    int pcmBytesPerSecond; // 0 without audio
    int firstNumber;       // the counter on the first picture
};

void checkFile(const JobCase& c, const std::string& path)
{
    const KmfSummary s = test::summariseKmf(path);
    ASSERT_TRUE(s.ok) << s.error;
    const int frames = int(s.frames.size());
    EXPECT_GE(frames, c.minFrames);
    EXPECT_LE(frames, c.maxFrames);

    // Stream description of the first sync frame.
    EXPECT_EQ(s.videoFormat, c.width ? kFourCCRgb3 : kFourCCNone);
    EXPECT_EQ(s.audioFormat, c.pcmBytesPerSecond ? kFourCCPcm : kFourCCNone);
    EXPECT_EQ(int(s.width), c.width);
    EXPECT_EQ(int(s.height), c.height);
    EXPECT_EQ(s.frameRateCode, c.rateCode);

    // minsync 4 and a coder that marks every picture as key: a sync frame
    // every fifth frame, from the first.
    ASSERT_FALSE(s.syncFrames.empty());
    for (size_t i = 0; i < s.syncFrames.size(); ++i)
        EXPECT_EQ(s.syncFrames[i], i * 5);
    EXPECT_EQ(s.syncFrames.size(), size_t((frames + 4) / 5));

    // Every picture is whole; audio follows the pictures' clock.
    for (const auto& f : s.frames)
        EXPECT_EQ(f.videoLength, uint32_t(c.width * c.height * 3));
    if (c.pcmBytesPerSecond) {
        // Each frame's PCM starts with the coder's 4-byte format header.
        const int64_t pcm = int64_t(s.audioBytes) - 4 * frames;
        EXPECT_EQ(pcm % 4, 0);
        const double expected = frames / c.fps * c.pcmBytesPerSecond;
        EXPECT_NEAR(double(pcm), expected, 16384 + 0.05 * c.pcmBytesPerSecond);
    } else {
        EXPECT_EQ(s.audioBytes, 0u);
    }

    // The header was rewritten with the final size and length, and the TOC
    // points at frames.
    ASSERT_TRUE(s.hasHeader);
    EXPECT_EQ(s.header.fileSize, s.fileBytes);
    EXPECT_NEAR(double(s.header.lengthMs), frames * 1000.0 / c.fps, 1.0);
    EXPECT_EQ(s.header.tocAllocated, 1024u);
    EXPECT_TRUE(s.tocPointsAtFrames());

    if (c.width) {
        const std::vector<int> numbers = payloadNumbers(path, c.width, c.height);
        ASSERT_FALSE(numbers.empty());
        EXPECT_EQ(numbers.front(), c.firstNumber);
        EXPECT_EQ(numbers.back(), c.clip.frameCount - 1);
        for (size_t i = 1; i < numbers.size(); ++i)
            EXPECT_GE(numbers[i], numbers[i - 1]) << "frame " << i;
    }
}

TEST_F(DriverJobTest, EachKindOfClipConvertsToTheFileThePartsPredict)
{
    ClipSpec mjpeg = spec("mjpeg", "pcm_u8");
    mjpeg.sampleRate = 11025;
    mjpeg.channels = 1;
    ClipSpec vfr = spec("mpeg4", "", 160, 120, 25, 1, 21);
    vfr.skipEvery = 5; // 21 pictures over 25 slots: the gaps repeat a picture
    ClipSpec surround = spec("mpeg4", "aac");
    surround.channels = 6;
    const int stereo = 44100 * 4;

    const JobCase cases[] = {
        {"h264_aac.mp4", spec("h264", "aac"), {}, 25, 25, 160, 120, 25, 25.0, stereo, 0},
        {"mjpeg_u8.avi",
         mjpeg,
         {{"out_srate", "11025"}, {"out_channels", "1"}},
         25,
         25,
         160,
         120,
         25,
         25.0,
         11025 * 2,
         0},
        {"vfr.mkv", vfr, {}, 25, 25, 160, 120, 25, 25.0, 0, 0},
        {"movie.mov", spec("mpeg4", "aac"), {}, 25, 25, 160, 120, 25, 25.0, stereo, 0},
        {"video_only.avi",
         spec("mpeg4", "", 160, 120, 25, 1, 10),
         {},
         10,
         10,
         160,
         120,
         25,
         25.0,
         0,
         0},
        {"ntsc.mp4",
         spec("h264", "aac", 160, 120, 30000, 1001, 15),
         {},
         15,
         15,
         160,
         120,
         0x81,
         30000.0 / 1001,
         stereo,
         0},
        {"film.avi",
         spec("mpeg4", "", 160, 120, 24000, 1001, 12),
         {},
         12,
         13,
         160,
         120,
         0x83,
         24000.0 / 1001,
         0,
         0},
        {"odd.avi", spec("rawvideo", "", 321, 120, 25, 1, 5), {}, 5, 5, 321, 120, 25, 25.0, 0, 0},
        {"odd_fixed.avi",
         spec("rawvideo", "", 321, 120, 25, 1, 5),
         {{"sizefix", "1"}},
         5,
         5,
         336,
         128,
         25,
         25.0,
         0,
         0},
        {"surround.mkv", surround, {}, 25, 25, 160, 120, 25, 25.0, stereo, 0},
    };
    for (const JobCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = clip(c.name, c.clip);
        test::Keys keys = c.keys;
        keys.emplace_back("minsync", "4");
        JobStatus status{};
        convert(source, profile(test::uncompressedKeys(keys)), &status);
        EXPECT_EQ(status, JobStatus::Complete);
        checkFile(c, source + ".kmf");
    }
    EXPECT_EQ(m_prompt.entries().size(), 0u);
}

TEST_F(DriverJobTest, SoundOnlyGivesFifteenFramesASecondAndOneMoreAtItsEnd)
{
    ClipSpec tone = spec("", "pcm_s16le");
    tone.audioSeconds = 0.9; // 39690 samples
    const std::string source = clip("tone.wav", tone);
    auto job = this->job(source, source + ".kmf");
    const BatchJob* watched = job.get();
    EXPECT_EQ(run(*job, profile(test::uncompressedKeys())), JobStatus::Complete);

    const KmfSummary s = test::summariseKmf(source + ".kmf");
    ASSERT_TRUE(s.ok) << s.error;
    // 13 frames while the sound lasts (13/15 s <= 0.9 s), then one more.
    EXPECT_EQ(s.frames.size(), 14u);
    EXPECT_EQ(s.videoFormat, kFourCCNone);
    EXPECT_EQ(s.audioFormat, kFourCCPcm);
    EXPECT_EQ(s.frameRateCode, 15);
    EXPECT_EQ(s.videoBytes, 0u);
    EXPECT_EQ(int64_t(s.audioBytes) - 4 * 14, 39690 * 4); // all of it, nothing made up
    // Progress counts the sound: bytes / 9 per block, negative.
    EXPECT_LT(watched->progress.load(), 0);
    EXPECT_EQ(watched->workerBlock.audioBytesPerSecond.load(), 44100 * 4);
    EXPECT_NEAR(-watched->progress.load() / double(44100 * 4 / 9), 0.9, 0.01);
}

TEST_F(DriverJobTest, OutputFrameRateDropsAndRepeatsPictures)
{
    const std::string source = clip("twentyfive.avi", spec("mpeg4", "", 160, 120, 25, 1, 20));
    {
        auto job = this->job(source, file("half.kmf"));
        ASSERT_EQ(
            run(*job, profile(test::uncompressedKeys({{"outfruse", "1"}, {"outfror", "12.5"}}))),
            JobStatus::Complete);
        const KmfSummary s = test::summariseKmf(file("half.kmf"));
        EXPECT_EQ(s.frameRateCode, 0x86); // 25 / 2
        EXPECT_EQ(payloadNumbers(file("half.kmf"), 160, 120),
                  (std::vector<int>{1, 3, 5, 7, 9, 11, 13, 15, 17, 19}));
        // 1/20000 s per picture at 12.5 fps: 1600 each.
        EXPECT_EQ(job->progress.load(), 10 * 1600);
    }
    {
        auto job = this->job(source, file("double.kmf"));
        ASSERT_EQ(
            run(*job, profile(test::uncompressedKeys({{"outfruse", "1"}, {"outfror", "50"}}))),
            JobStatus::Complete);
        const KmfSummary s = test::summariseKmf(file("double.kmf"));
        EXPECT_EQ(s.frameRateCode, 50);
        const std::vector<int> numbers = payloadNumbers(file("double.kmf"), 160, 120);
        ASSERT_EQ(numbers.size(), 40u);
        EXPECT_EQ(numbers[0], 0);
        for (size_t i = 1; i < numbers.size(); ++i)
            EXPECT_EQ(numbers[i], int((i - 1) / 2)) << i;
    }
}

TEST_F(DriverJobTest, TheProfileKeepsTheDefaultsOfKeysItLacked)
{
    // A profile without a kmfconfig section: the job fails at the encoder,
    // and the section is written back with the job start's defaults.
    const std::string source = clip("v.avi", spec("mpeg4", "", 160, 120, 25, 1, 3));
    const std::string bare = profile({{"sizefix", "0"}});
    auto job = this->job(source, file("bare.kmf"));
    EXPECT_EQ(run(*job, bare), JobStatus::Error);
    const auto entries = m_prompt.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].title, "ERROR");
    EXPECT_EQ(entries[0].text, "error: no output video codec selected");
    const std::string text = test::readFileText(bare);
    for (const char* line : {"audfmt=0", "vidfmt=0", "minsync=0", "maxsync=120", "audiosendahead=0",
                             "hdrwrite=0", "hdrtoc=1024"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
}

TEST_F(DriverJobTest, DamagedSourcesEndTheirJobWithoutACrashAndWithAFinishedFile)
{
    const std::vector<uint8_t> mp4 = test::readFileBytes(clip("whole.mp4", spec("h264", "aac")));
    const std::vector<uint8_t> mkv =
        test::readFileBytes(clip("whole.mkv", spec("mjpeg", "pcm_s16le")));
    struct Damaged {
        std::string name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Damaged> files;
    files.push_back({"mp4_cut.mp4", {mp4.begin(), mp4.begin() + long(mp4.size() / 2)}});
    files.push_back({"mkv_cut.mkv", {mkv.begin(), mkv.begin() + long(mkv.size() * 6 / 10)}});
    std::vector<uint8_t> scrambled = mkv;
    for (size_t i = scrambled.size() / 3; i < scrambled.size() * 2 / 3; i += 5)
        scrambled[i] ^= 0xA5;
    files.push_back({"mkv_scrambled.mkv", scrambled});
    files.push_back({"noise.avi", std::vector<uint8_t>(5000, 0x47)});

    const std::string uncompressed = profile(test::uncompressedKeys());
    for (const Damaged& d : files) {
        SCOPED_TRACE(d.name);
        test::writeFileBytes(file(d.name), d.bytes);
        auto job = this->job(file(d.name), file(d.name + ".kmf"));
        const JobStatus status = run(*job, uncompressed);
        EXPECT_TRUE(job->isSettled());
        if (status == JobStatus::Error) {
            // Nothing was opened for writing, or what was written is whole.
            if (std::filesystem::exists(file(d.name + ".kmf"))) {
                EXPECT_TRUE(test::summariseKmf(file(d.name + ".kmf")).ok);
            }
            continue;
        }
        EXPECT_EQ(status, JobStatus::Complete);
        const KmfSummary s = test::summariseKmf(file(d.name + ".kmf"));
        EXPECT_TRUE(s.ok) << s.error;
        EXPECT_EQ(s.header.fileSize, s.fileBytes);
        EXPECT_LE(s.frames.size(), 25u);
    }
    // The clip cut before its index and the noise cannot be opened: each
    // says so once, under the sources' title.
    size_t errors = 0;
    for (const auto& e : m_prompt.entries())
        errors += e.title == "Error";
    EXPECT_GE(errors, 2u);
}

TEST_F(DriverJobTest, AMissingSourceShowsTheOpeningMessageAndWritesNothing)
{
    const std::string missing = file("not there.avi");
    auto job = this->job(missing, file("not there.kmf"));
    EXPECT_EQ(run(*job, profile(test::uncompressedKeys())), JobStatus::Error);
    const auto entries = m_prompt.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].title, "Error");
    EXPECT_EQ(entries[0].text, "DirectShow: error opening input file/stream:\n" + missing);
    EXPECT_FALSE(std::filesystem::exists(file("not there.kmf")));
    EXPECT_TRUE(job->isSettled());
    EXPECT_FALSE(job->workerBlock.source);
    EXPECT_FALSE(job->workerBlock.encoder);
    EXPECT_FALSE(job->workerBlock.config);
}

} // namespace
} // namespace moxel
