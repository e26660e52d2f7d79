// The decoder source's planar pictures: offered only for 4:2:0 streams that
// no processing step changes, in the stream's colours; handed out only after
// the worker says yes, and then showing the picture the 4-byte way shows;
// a source asked for a picture before any answer, or closed while waiting
// for one, behaves as if there were no offer.
#include "sources/DecoderSource.h"

#include "SourceTestSupport.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace moxel {
namespace {

using test::ClipSpec;
using PlanarPicturesTest = test::ClipTest;
using Keys = std::vector<std::pair<std::string, std::string>>;

const Keys kUnchanged = {{"sizefix", "0"}};

uint8_t clampByte(double v)
{
    return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

// A planar BT.601 limited-range picture as 4-byte bottom-up pixels, each
// pixel with the chroma of its 2 x 2 block.
std::vector<uint8_t> toBgra(const uint8_t* planes, int width, int height)
{
    std::vector<uint8_t> out(size_t(width) * height * 4);
    const uint8_t* u = planes + size_t(width) * height;
    const uint8_t* v = u + size_t(width / 2) * (height / 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double l = 1.164 * (planes[size_t(y) * width + x] - 16);
            const size_t c = size_t(y / 2) * (width / 2) + x / 2;
            const double cb = u[c] - 128, cr = v[c] - 128;
            uint8_t* p = &out[(size_t(height - 1 - y) * width + x) * 4];
            p[0] = clampByte(l + 2.018 * cb);
            p[1] = clampByte(l - 0.391 * cb - 0.813 * cr);
            p[2] = clampByte(l + 1.596 * cr);
        }
    return out;
}

// Mean absolute difference over blue, green and red.
double meanDifference(const std::vector<uint8_t>& a, const uint8_t* b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (i % 4 != 3)
            sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size() / 4 * 3);
}

} // namespace

TEST_F(PlanarPicturesTest, UnchangedPicturesGoPlanarAndShowWhatTheFourByteWayShows)
{
    ClipSpec spec;
    spec.frameCount = 6;
    const std::string path = clip("plain.avi", spec);
    const std::string unchanged = profile(kUnchanged);

    DecoderSource planar, fourBytes;
    ASSERT_TRUE(planar.open(path, unchanged));
    ASSERT_TRUE(fourBytes.open(path, unchanged));
    KmfPlanarFormat offer;
    ASSERT_TRUE(planar.planarOffer(offer));
    EXPECT_EQ(offer.layout, kCoderLayoutI420);
    EXPECT_EQ(offer.colourMatrix, AVCOL_SPC_SMPTE170M) << "unnamed below 720 lines: BT.601";
    EXPECT_EQ(offer.fullRange, 0);
    planar.usePlanarPictures(true);
    fourBytes.usePlanarPictures(false);

    int pictures = 0;
    const uint8_t* planes = nullptr;
    const uint8_t* pixels = nullptr;
    while (planar.getVideoFrame(&planes) == 1) {
        SCOPED_TRACE(pictures);
        ASSERT_EQ(fourBytes.getVideoFrame(&pixels), 1);
        // The two ways differ only by the rounding of the colour conversion
        // and how chroma is spread over its 2 x 2 block.
        EXPECT_LT(meanDifference(toBgra(planes, 160, 120), pixels), 3.0);
        ++pictures;
    }
    EXPECT_EQ(pictures, 6);
    EXPECT_EQ(fourBytes.getVideoFrame(&pixels), 0);
}

TEST_F(PlanarPicturesTest, OfferedOnlyForFourTwoZeroPicturesNothingChanges)
{
    ClipSpec plain;
    plain.frameCount = 2;
    const std::string yuv = clip("plain.avi", plain);
    ClipSpec tagged = plain;
    tagged.videoCodec = "h264";
    tagged.colorMatrix = "bt709";
    const std::string hd = clip("bt709.mp4", tagged);
    ClipSpec rgb = plain;
    rgb.videoCodec = "rawvideo";
    const std::string bgr = clip("bgr.avi", rgb);
    ClipSpec full = plain;
    full.videoCodec = "mjpeg";
    const std::string jpeg = clip("full.avi", full);
    ClipSpec turned = plain;
    turned.videoCodec = "h264";
    turned.displayRotation = 180;
    const std::string upsideDown = clip("turned.mp4", turned);

    struct Case {
        const char* what;
        std::string path;
        Keys keys;
        bool offered;
        int matrix = AVCOL_SPC_SMPTE170M;
        int fullRange = 0;
    };
    const std::vector<Case> cases = {
        {"unchanged", yuv, kUnchanged, true},
        {"resized to its own size",
         yuv,
         {{"sizefix", "0"}, {"doresize", "1"}, {"resizew", "160"}, {"resizeh", "120"}},
         true},
        {"a named matrix", hd, kUnchanged, true, AVCOL_SPC_BT709},
        {"full range", jpeg, kUnchanged, true, AVCOL_SPC_BT470BG, 1},
        {"rounded up to 16 lines", yuv, {}, false},
        {"resized", yuv, {{"sizefix", "0"}, {"doresize", "1"}, {"resizew", "80"}}, false},
        {"cropped", yuv, {{"sizefix", "0"}, {"crop_l", "2"}}, false},
        {"deinterlaced", yuv, {{"sizefix", "0"}, {"deinterlace", "1"}}, false},
        {"RGB", bgr, kUnchanged, false},
        {"turned", upsideDown, kUnchanged, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DecoderSource source;
        ASSERT_TRUE(source.open(c.path, profile(c.keys)));
        KmfPlanarFormat offer;
        ASSERT_EQ(source.planarOffer(offer), c.offered);
        if (c.offered) {
            EXPECT_EQ(offer.colourMatrix, c.matrix);
            EXPECT_EQ(offer.fullRange, c.fullRange);
        }
        source.usePlanarPictures(false);
        const uint8_t* picture = nullptr;
        EXPECT_EQ(source.getVideoFrame(&picture), 1);
    }
}

TEST_F(PlanarPicturesTest, WithoutAnAnswerPicturesStayFourBytes)
{
    ClipSpec spec;
    spec.frameCount = 3;
    const std::string path = clip("plain.avi", spec);
    const std::string unchanged = profile(kUnchanged);
    DecoderSource reference;
    ASSERT_TRUE(reference.open(path, unchanged));
    reference.usePlanarPictures(false);

    // Asked for a picture first: no; a later yes changes nothing.
    DecoderSource asked;
    ASSERT_TRUE(asked.open(path, unchanged));
    const size_t bytes = size_t(asked.outWidth) * asked.outHeight * 4;
    const uint8_t* picture = nullptr;
    const uint8_t* expected = nullptr;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(asked.getVideoFrame(&picture), 1);
        ASSERT_EQ(reference.getVideoFrame(&expected), 1);
        EXPECT_TRUE(std::equal(picture, picture + bytes, expected));
        asked.usePlanarPictures(true);
    }

    // Closed while its video thread waits for the answer: returns at once.
    for (int round = 0; round < 3; ++round) {
        DecoderSource waiting;
        ASSERT_TRUE(waiting.open(path, unchanged));
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 20));
        EXPECT_EQ(waiting.close(), 1);
        EXPECT_EQ(waiting.queuedPictures(), 0u);
    }
}

} // namespace moxel
