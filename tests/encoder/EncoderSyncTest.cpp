// Which frames become sync frames: the counter starts past the default
// maxSync, key pictures open a sync frame only after minSync frames, and
// maxSync forces one.
#include "EncoderTestSupport.h"

#include "container/FourCC.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace moxel;
using namespace moxel::test;

namespace {

struct SyncCase {
    const char* name;
    int maxSync;
    int minSync;
    std::function<bool(int)> key; // null: the coder never flags a key picture
    int frames;
    std::vector<int> expectSync;
};

std::vector<int> syncIndices(const SyncCase& c)
{
    FakeJob job(videoOfSize(10, c.key));
    job.encoder.setMaxSync(c.maxSync);
    job.encoder.setMinSync(c.minSync);
    job.setFakeVideo();
    job.open();
    EXPECT_EQ(job.encoder.errorText(), nullptr);
    for (int i = 0; i < c.frames; ++i)
        job.encoder.addVideoFrame(dummyPicture());
    EXPECT_TRUE(job.encoder.close());
    std::vector<ParsedFrame> frames = job.frames();
    EXPECT_EQ(int(frames.size()), c.frames);
    std::vector<int> sync;
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i].sync)
            sync.push_back(int(i));
    return sync;
}

auto always = [](int) { return true; };
auto firstOnly = [](int i) { return i == 0; };

} // namespace

TEST(KmfEncoderSync, Placement)
{
    const SyncCase cases[] = {
        {"default maxSync, no key pictures: 121 apart", 120, 0, nullptr, 250, {0, 121, 242}},
        {"maxSync 0: every frame", 0, 0, nullptr, 5, {0, 1, 2, 3, 4}},
        {"key pictures with minSync 0: every frame", 500, 0, always, 5, {0, 1, 2, 3, 4}},
        {"maxSync 500, first key picture, minSync 121", 500, 121, firstOnly, 6, {0}},
        {"maxSync 500, first key picture, minSync 122", 500, 122, firstOnly, 6, {}},
        {"maxSync 500, no key picture", 500, 0, nullptr, 6, {}},
        {"minSync 3 gates key pictures", 500, 3, always, 10, {0, 4, 8}},
        {"maxSync 3 with late key pictures", 3, 0, [](int i) { return i == 6; }, 12, {0, 4, 6, 10}},
    };
    for (const SyncCase& c : cases)
        EXPECT_EQ(syncIndices(c), c.expectSync) << c.name;
}

TEST(KmfEncoderSync, SyncHeaderDescribesTheStream)
{
    FakeJob job(videoOfSize(7));
    job.coders.rewriteVideo = makeFourCC("FAKW"); // the coder's rewrite goes into the stream
    KmfEncoder& encoder = job.encoder;
    encoder.setVideo(makeFourCC("FAKV"), 320, 200, 25.0, kFourCCRgba, nullptr);
    job.open();
    encoder.addVideoFrame(dummyPicture());
    encoder.addVideoFrame(nullptr); // no picture: a frame without video
    ASSERT_TRUE(encoder.close());

    std::vector<ParsedFrame> frames = job.frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(frames[0].sync);
    EXPECT_EQ(frames[0].videoFormat, makeFourCC("FAKW"));
    EXPECT_EQ(frames[0].audioFormat, kFourCCNone);
    EXPECT_EQ(frames[0].width, 320);
    EXPECT_EQ(frames[0].height, 200);
    EXPECT_EQ(frames[0].frameRateCode, 25);
    EXPECT_EQ(frames[0].syncOffset, 0);
    EXPECT_EQ(frames[0].video, std::vector<uint8_t>(7, 0xA5));
    EXPECT_TRUE(frames[0].audio.empty());
    EXPECT_FALSE(frames[1].sync);
    EXPECT_TRUE(frames[1].video.empty());
    EXPECT_EQ(encoder.videoFrameCount(), 2u);
}
