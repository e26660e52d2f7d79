// Kind selection by name, the capture kind, the holder without a source and
// its forwarding, and the frame-rate rules shared by the sources.
#include "sources/SourceHolder.h"

#include "SourceTestSupport.h"
#include "settings/ProgramFolders.h"
#include "sources/CaptureSource.h"
#include "sources/FrameRateDetection.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace moxel {
namespace {

// Both reads fail and clear their outputs first.
void expectNothingDelivered(SourceHolder& holder)
{
    uint8_t buffer[16];
    int length = 77;
    EXPECT_EQ(holder.getAudio(buffer, 16, &length), 0);
    EXPECT_EQ(length, 0);
    const uint8_t* picture = buffer;
    EXPECT_EQ(holder.getVideoFrame(&picture), 0);
    EXPECT_EQ(picture, nullptr);
}

TEST(SourceKindTest, ChosenByNameOnly)
{
    const struct {
        const char* name;
        SourceKind kind;
    } cases[] = {
        {"clip.mov", SourceKind::Movie},
        {"CLIP.MOV", SourceKind::Movie},
        {"a.mov", SourceKind::Movie},
        {"/x/y/film.MoV", SourceKind::Movie},
        {"clip.mov.avi", SourceKind::Decoder},
        {"mov", SourceKind::Decoder},
        {".mov", SourceKind::Decoder},
        {"clip.mp4", SourceKind::Decoder},
        {"", SourceKind::Decoder},
        {"VFWCAP:0", SourceKind::Capture},
        {"vfwcap:", SourceKind::Capture},
        {"VfwCap:x.mov", SourceKind::Capture},
        {"vfwcap", SourceKind::Decoder},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sourceKindForName(c.name), c.kind) << c.name;
}

TEST(SourceHolderTest, WithoutSourceAnswersZero)
{
    SourceHolder holder;
    EXPECT_EQ(holder.frameRate(), 0.0);
    EXPECT_FALSE(holder.hasVideo());
    EXPECT_FALSE(holder.hasAudio());
    EXPECT_EQ(holder.outSampleRate(), 0);
    EXPECT_EQ(holder.outChannels(), 0);
    EXPECT_EQ(holder.outWidth(), 0);
    EXPECT_EQ(holder.outHeight(), 0);
    expectNothingDelivered(holder);
    EXPECT_EQ(holder.close(), 1);
    // Another kind value with nothing held creates nothing.
    EXPECT_FALSE(holder.open("x.avi", "", 9));
    EXPECT_EQ(holder.source(), nullptr);
}

TEST(SourceHolderTest, CaptureKindFailsSilently)
{
    test::RecordingPrompt prompt;
    SourceHolder holder(&prompt);
    EXPECT_FALSE(holder.open("VFWCAP:0", ""));
    ASSERT_NE(holder.source(), nullptr);
    expectNothingDelivered(holder);
    EXPECT_EQ(holder.close(), 0);
    EXPECT_EQ(holder.source(), nullptr);
    EXPECT_TRUE(prompt.messages.empty());
}

// A source that counts what the holder forwards to it.
class CountingSource : public MediaSource {
  public:
    explicit CountingSource(int* closes) : m_closes(closes) {}
    bool open(const std::string&, const std::string&) override
    {
        hasVideo = true;
        frameRate = 12.5;
        outWidth = 32;
        outHeight = 16;
        profile.outSampleRate = 22050;
        profile.outChannels = 1;
        showError("opened");
        return true;
    }
    int getVideoFrame(const uint8_t** picture) override
    {
        *picture = m_picture;
        return 1;
    }
    int getAudio(uint8_t*, int, int* length) override
    {
        *length = 0;
        return 0;
    }
    int close() override
    {
        ++*m_closes;
        return 1;
    }
    int setOption(const char*, int) override { return 1; }
    int setOption(const char*, double) override { return 1; }

  private:
    int* m_closes;
    uint8_t m_picture[4] = {};
};

TEST(SourceHolderTest, ForwardsToAnAdoptedSourceAndClosesItOnce)
{
    int closes = 0;
    test::RecordingPrompt prompt;
    {
        SourceHolder holder(&prompt);
        holder.adopt(std::make_unique<CountingSource>(&closes));
        EXPECT_TRUE(holder.open("anything", "", 99));
        ASSERT_EQ(prompt.messages.size(), 1u);
        EXPECT_EQ(prompt.messages[0].title, "Error");
        EXPECT_EQ(holder.frameRate(), 12.5);
        EXPECT_TRUE(holder.hasVideo());
        EXPECT_EQ(holder.outWidth(), 32);
        EXPECT_EQ(holder.outHeight(), 16);
        EXPECT_EQ(holder.outSampleRate(), 22050);
        EXPECT_EQ(holder.outChannels(), 1);
        const uint8_t* picture = nullptr;
        EXPECT_EQ(holder.getVideoFrame(&picture), 1);
        EXPECT_NE(picture, nullptr);
    }
    EXPECT_EQ(closes, 1); // by the destructor
}

class AssumedRateTest : public ::testing::Test {
  protected:
    void TearDown() override
    {
        programFolders().assumeFpsEnabled = true;
        programFolders().assumedFps = 30.0;
    }
};

TEST_F(AssumedRateTest, FollowsThePreference)
{
    const struct {
        bool enabled;
        double value;
        double expected;
    } cases[] = {
        {true, 12.0, 12.0},   {true, 0.0, 30.0},  {true, 0.0009, 30.0},
        {true, 0.001, 0.001}, {false, 25.0, 0.0},
    };
    for (const auto& c : cases) {
        programFolders().assumeFpsEnabled = c.enabled;
        programFolders().assumedFps = c.value;
        EXPECT_DOUBLE_EQ(assumedFrameRate(), c.expected) << c.enabled << " " << c.value;
    }
}

TEST(FrameRateSnapTest, OnlyRoundedNtscRatesChange)
{
    const struct {
        double reported, expected;
    } cases[] = {
        {29.97, 30000.0 / 1001.0}, {29.970001, 30000.0 / 1001.0},
        {23.97, 24000.0 / 1001.0}, {23.97005, 24000.0 / 1001.0},
        {23.976, 23.976},          {25.0, 25.0},
        {29.9702, 29.9702},        {30000.0 / 1001.0, 30000.0 / 1001.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(snapFrameRate(c.reported), c.expected) << c.reported;
}

TEST(FrameRateCodeChoiceTest, RatesWithoutCodeMoveToTheNearestCode)
{
    const struct {
        double rate, coded;
    } cases[] = {
        {29.258, 29.0},
        {29.97, 30000.0 / 1001},
        {34.96, 35.0},
        {58.82, 59.0},
        {1000.0, 480.0},
        {30000.0 / 1001, 30000.0 / 1001},
        {24000.0 / 1001, 24000.0 / 1001},
        {60000.0 / 1001, 60000.0 / 1001},
        {12.5, 12.5},
        {25.0 / 3, 25.0 / 3},
        {0.2, 0.2}, // no code comes near
    };
    for (const auto& c : cases)
        EXPECT_NEAR(codedFrameRate(c.rate, "test"), c.coded, 1e-12 * c.coded) << c.rate;
    // Exact rates come back as they are, to the last bit.
    for (double exact : {30000.0 / 1001, 24000.0 / 1001, 60000.0 / 1001, 25.0 / 3})
        EXPECT_EQ(codedFrameRate(exact, "test"), exact);
}

} // namespace
} // namespace moxel
