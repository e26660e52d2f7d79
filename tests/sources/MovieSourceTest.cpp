// The movie source on .mov clips written by the FFmpeg libraries: stepping
// through the samples by their times, the rate of the whole track, chunked
// sound, movies without one of the tracks, and movies that cannot be opened
// or have no frame rate.
#include "sources/MovieSource.h"

#include "SourceTestSupport.h"
#include "settings/ProgramFolders.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace moxel {
namespace {

using test::ClipSpec;
using test::counting;

using MovieSourceTest = test::ClipTest;

ClipSpec movieSpec(int fps, int frames, const char* audio = "")
{
    ClipSpec spec;
    spec.videoCodec = "mpeg4";
    spec.fpsNum = fps;
    spec.frameCount = frames;
    spec.audioCodec = audio;
    return spec;
}

TEST_F(MovieSourceTest, SteppingAtTheMovieRateYieldsEverySampleFromTheFirst)
{
    MovieSource source;
    ASSERT_TRUE(source.open(clip("same.mov", movieSpec(30, 12, "aac")), ""));
    EXPECT_TRUE(source.hasVideo);
    EXPECT_TRUE(source.hasAudio);
    EXPECT_EQ(source.inWidth, 160);
    EXPECT_EQ(source.inHeight, 120);
    EXPECT_NEAR(source.inFrameRate, 30.0, 1e-9);
    EXPECT_EQ(source.outWidth, 160);
    const test::DrainResult got = test::drainSource(source);
    EXPECT_EQ(got.frameNumbers, counting(0, 11));
    EXPECT_NEAR(double(got.audioBytes), 0.4 * 44100 * 4, 0.05 * 44100 * 4);
    EXPECT_TRUE(got.countsAligned);
    EXPECT_EQ(source.close(), 1);
}

TEST_F(MovieSourceTest, SamplesStoredOutOfOrderAreSteppedInTimeOrder)
{
    ClipSpec spec = movieSpec(25, 20, "aac");
    spec.videoCodec = "h264";
    spec.bFrames = 2;
    MovieSource source;
    ASSERT_TRUE(source.open(clip("reordered.mov", spec), ""));
    EXPECT_NEAR(source.inFrameRate, 25.0, 1e-9);
    EXPECT_EQ(test::drainSource(source).frameNumbers, counting(0, 19));
}

TEST_F(MovieSourceTest, OutputRateSkipsOrRepeatsSamples)
{
    const std::string path = clip("thirty.mov", movieSpec(30, 9));
    {
        MovieSource source;
        ASSERT_TRUE(source.open(path, profile({{"outfruse", "1"}, {"outfror", "15"}})));
        EXPECT_DOUBLE_EQ(source.frameRate, 15.0);
        const std::vector<int> expected = {1, 3, 5, 7};
        EXPECT_EQ(test::drainSource(source).frameNumbers, expected);
    }
    {
        MovieSource source;
        ASSERT_TRUE(source.open(path, profile({{"outfruse", "1"}, {"outfror", "60"}})));
        // Each sample is preceded by one repetition of the one before it
        // (the first by one of itself).
        const std::vector<int> expected = {0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7};
        const std::vector<int> got = test::drainSource(source).frameNumbers;
        ASSERT_GE(got.size(), expected.size());
        EXPECT_EQ(std::vector<int>(got.begin(), got.begin() + long(expected.size())), expected);
    }
}

TEST_F(MovieSourceTest, LargeSoundChunksAreConvertedInBoundedParts)
{
    // Matroska keeps each 96000-sample PCM frame (384,000 bytes) in one block;
    // the movie reader takes any file its demuxers know, whatever its name.
    ClipSpec spec = movieSpec(25, 10, "pcm_s16le");
    spec.sampleRate = 96000;
    spec.audioFrameSamples = 96000;
    spec.audioSeconds = 2.0;
    const std::string mkv = clip("chunks.mkv", spec);
    const std::string mov = m_dir.file("chunks.mov");
    std::filesystem::rename(mkv, mov);
    MovieSource source;
    ASSERT_TRUE(source.open(mov, ""));
    EXPECT_EQ(source.inRate, 96000);
    std::vector<uint8_t> buffer(16384);
    int64_t total = 0;
    int length = 0;
    while (source.getAudio(buffer.data(), int(buffer.size()), &length)) {
        ASSERT_EQ(length % 4, 0);
        total += length;
    }
    EXPECT_EQ(total, int64_t(2 * 44100) * 4); // nothing lost at the part boundaries
}

TEST_F(MovieSourceTest, MoviesWithoutOneTrack)
{
    ClipSpec soundOnly = movieSpec(30, 0, "aac");
    soundOnly.videoCodec.clear();
    soundOnly.audioSeconds = 0.5;
    soundOnly.channels = 6; // downmixed on the way
    MovieSource sound;
    ASSERT_TRUE(sound.open(clip("sound.mov", soundOnly), ""));
    EXPECT_FALSE(sound.hasVideo); // converted to its end, like a sound file
    EXPECT_TRUE(sound.hasAudio);
    EXPECT_DOUBLE_EQ(sound.inFrameRate, 15.0);
    const uint8_t* picture = nullptr;
    EXPECT_EQ(sound.getVideoFrame(&picture), 0);
    EXPECT_EQ(picture, nullptr);
    test::DrainResult heard;
    std::vector<uint8_t> buffer(16384);
    int length = 0;
    while (sound.getAudio(buffer.data(), 16384, &length))
        heard.audioBytes += length;
    EXPECT_NEAR(double(heard.audioBytes), 0.5 * 44100 * 4, 0.05 * 44100 * 4);

    MovieSource silent;
    ASSERT_TRUE(silent.open(clip("silent.mov", movieSpec(25, 5)), ""));
    EXPECT_FALSE(silent.hasAudio);
    length = 9;
    EXPECT_EQ(silent.getAudio(buffer.data(), 16384, &length), 0);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(test::drainSource(silent).frameNumbers, counting(0, 4));
}

TEST_F(MovieSourceTest, TheRateComesFromTheWholeTrack)
{
    // 60 fps kept in whole milliseconds: the sample durations alternate
    // between 16 and 17 ms, the first 17, and every sample is shown once.
    std::string error;
    const std::string mov = m_dir.file("sixty.mov");
    ASSERT_TRUE(test::runFfmpeg({"-i", clip("sixty.mp4", movieSpec(60, 180)), "-c", "copy",
                                 "-video_track_timescale", "1000", mov},
                                &error))
        << error;
    MovieSource source;
    ASSERT_TRUE(source.open(mov, ""));
    EXPECT_DOUBLE_EQ(source.inFrameRate, 60.0);
    EXPECT_DOUBLE_EQ(source.frameRate, 60.0);
    EXPECT_EQ(test::drainSource(source).frameNumbers, counting(0, 179));
    EXPECT_EQ(source.counters.picturesDropped.load(), 0);
    EXPECT_EQ(source.counters.picturesRepeated.load(), 0);

    // A movie of one sample has the rate of that sample and shows it.
    MovieSource still;
    ASSERT_TRUE(still.open(clip("still.mov", movieSpec(25, 1)), ""));
    EXPECT_DOUBLE_EQ(still.inFrameRate, 25.0);
    EXPECT_EQ(test::drainSource(still).frameNumbers, std::vector<int>{0});
}

TEST_F(MovieSourceTest, AMovieWithoutFrameRateNeedsThePreference)
{
    // One picture in Matroska without a declared rate (the movie reader
    // takes any file its demuxers know, whatever its name).
    ClipSpec spec = movieSpec(25, 1);
    spec.videoCodec = "mjpeg";
    spec.declareFrameRate = false;
    const std::string path = m_dir.file("still.mov");
    std::filesystem::rename(clip("still.mkv", spec), path);
    programFolders().assumeFpsEnabled = false;
    test::RecordingPrompt prompt;
    MovieSource refused;
    refused.setPrompt(&prompt);
    EXPECT_FALSE(refused.open(path, ""));
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].title, "Error");
    EXPECT_NE(prompt.messages[0].text.find("framerate"), std::string::npos);

    programFolders().assumeFpsEnabled = true;
    programFolders().assumedFps = 0.0;
    MovieSource assumed;
    ASSERT_TRUE(assumed.open(path, ""));
    EXPECT_DOUBLE_EQ(assumed.inFrameRate, 30.0);
    EXPECT_EQ(test::drainSource(assumed).frameNumbers, std::vector<int>{0});
}

TEST_F(MovieSourceTest, UnopenableMoviesFailWithoutAMessage)
{
    test::writeFileText(m_dir.file("text.mov"), "not a movie at all");
    const std::vector<uint8_t> whole =
        test::readFileBytes(clip("whole.mov", movieSpec(25, 10, "aac")));
    test::writeFileBytes(
        m_dir.file("cut.mov"),
        std::vector<uint8_t>(whole.begin(), whole.begin() + long(whole.size() / 2)));
    for (const char* name : {"missing.mov", "text.mov", "cut.mov"}) {
        SCOPED_TRACE(name);
        test::RecordingPrompt prompt;
        MovieSource source;
        source.setPrompt(&prompt);
        if (source.open(m_dir.file(name), ""))
            test::drainSource(source); // a cut that still opens ends cleanly
        else
            EXPECT_TRUE(prompt.messages.empty());
        EXPECT_EQ(source.close(), 1);
    }
}

} // namespace
} // namespace moxel
