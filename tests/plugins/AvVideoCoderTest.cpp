// The plug-in's video coders, loaded as the program loads them: each picture's
// bytes come back in the same call, decode to a close copy of the picture, and
// carry the key flag exactly where the decoder sees a key picture; a decoder
// can start at any key picture, as a viewer joining a live stream does.
#include "AvPlugin.h"
#include "AvTestMedia.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace moxel;
using namespace moxel::test;

namespace {

struct VideoCase {
    const char* fourCC;
    const char* decoder;
};

class VideoCoderTest : public ::testing::TestWithParam<VideoCase> {};

constexpr int kWidth = 160;
constexpr int kHeight = 120;

std::string profileWith(const TempDir& dir, const std::string& settings)
{
    const std::string path = dir.file("test.pf");
    writeFileText(path, "[kmfencpp]\r\nfriendly_name=test\r\n[kmf_coder_av]\r\n" + settings);
    return path;
}

// Encodes `count` pattern pictures and returns the byte count of each.
std::vector<int> encodePattern(VideoCoder& coder, int count)
{
    std::vector<uint8_t> out(kCoderVideoOutRoom);
    std::vector<int> sizes;
    for (int t = 0; t < count; ++t) {
        const std::vector<uint8_t> picture = patternPicture(kWidth, kHeight, t);
        int key = 0;
        sizes.push_back(coder.Encode(picture.data(), out.data(), &key));
    }
    return sizes;
}

} // namespace

TEST_P(VideoCoderTest, PicturesDecodeAtOnceAndKeyPicturesAreEntryPoints)
{
    TempDir dir;
    const int keyint = 10;
    auto coder = AvPlugin::video(fourCC(GetParam().fourCC), kWidth, kHeight, 25.0,
                                 profileWith(dir, "keyint=10\r\n"));
    ASSERT_NE(coder, nullptr);
    VideoDecoder fromStart(GetParam().decoder);
    // A viewer joining the stream at a later key picture, with nothing before it.
    VideoDecoder joining(GetParam().decoder);
    const int joinAt = 2 * keyint;
    std::vector<uint8_t> out(kCoderVideoOutRoom);
    double worstPsnr = 99;
    for (int t = 0; t < 3 * keyint + 2; ++t) {
        SCOPED_TRACE(t);
        const std::vector<uint8_t> picture = patternPicture(kWidth, kHeight, t);
        const YuvPicture reference = patternReference(kWidth, kHeight, t);
        int key = -1;
        const int length = coder->Encode(picture.data(), out.data(), &key);
        ASSERT_GT(length, 0);
        EXPECT_EQ(key != 0, t % keyint == 0);
        ASSERT_EQ(fromStart.decode(out.data(), length), 1) << "the picture was held back";
        EXPECT_EQ(fromStart.pictureIsKey(), key != 0);
        worstPsnr = std::min(worstPsnr, psnr(fromStart.picture(), reference));
        if (t >= joinAt) {
            ASSERT_EQ(joining.decode(out.data(), length), 1);
            worstPsnr = std::min(worstPsnr, psnr(joining.picture(), reference));
        }
    }
    EXPECT_GT(worstPsnr, 30.0);
    RecordProperty("worst_psnr_db", std::to_string(worstPsnr));
}

TEST_P(VideoCoderTest, BitRateFromTheProfileSetsTheSize)
{
    TempDir dir;
    auto total = [&](const char* bitrate) {
        auto coder = AvPlugin::video(
            fourCC(GetParam().fourCC), kWidth, kHeight, 25.0,
            profileWith(dir, std::string("video_bitrate=") + bitrate + "\r\nkeyint=25\r\n"));
        std::vector<int> sizes = coder ? encodePattern(*coder, 25) : std::vector<int>{};
        int sum = 0;
        for (int s : sizes)
            sum += std::max(s, 0);
        return sum;
    };
    const int low = total("32");
    const int high = total("400");
    ASSERT_GT(low, 0);
    // MPEG-4 reaches its finest quantiser on this easy pattern well below 400 kbit/s.
    EXPECT_GT(high, low * 14 / 10) << low;
}

INSTANTIATE_TEST_SUITE_P(Formats, VideoCoderTest,
                         ::testing::Values(VideoCase{"VP80", "vp8"}, VideoCase{"H264", "h264"},
                                           VideoCase{"XVID", "mpeg4"}),
                         [](const auto& info) { return std::string(info.param.decoder); });

TEST(VideoCoder, RefusesWhatItCannotEncode)
{
    struct Case {
        const char* what;
        const char* fourCC;
        int width, height;
        double fps;
        uint32_t source;
    } cases[] = {
        {"odd width", "VP80", 161, 120, 25, fourCC("RGBA")},
        {"odd height", "H264", 160, 121, 25, fourCC("RGBA")},
        {"too small", "XVID", 8, 8, 25, fourCC("RGBA")},
        {"too large", "H264", 4098, 120, 25, fourCC("RGBA")},
        {"no frame rate", "VP80", 160, 120, 0, fourCC("RGBA")},
        {"not RGBA", "XVID", 160, 120, 25, fourCC("RGB3")},
        {"not ours", "RGB3", 160, 120, 25, fourCC("RGBA")},
        {"audio format", "MP3 ", 160, 120, 25, fourCC("RGBA")},
    };
    const CodecPlugin& plugin = AvPlugin::get();
    for (const Case& c : cases) {
        uint32_t format = fourCC(c.fourCC);
        VideoCoder* coder =
            plugin.createVideo(c.width, c.height, c.fps, c.source, &format, nullptr);
        EXPECT_EQ(coder, nullptr) << c.what;
        EXPECT_EQ(format, fourCC(c.fourCC)) << c.what;
        delete coder;
    }
}

// Noise at the largest size, every picture a key picture at the highest rate:
// MPEG-4 cannot get such a picture into the room, and must say so rather
// than write past it.
TEST(VideoCoder, PictureLargerThanTheRoomIsAnError)
{
    TempDir dir;
    const int width = 4096, height = 2304;
    auto coder = AvPlugin::video(fourCC("XVID"), width, height, 25.0,
                                 profileWith(dir, "video_bitrate=20000\r\nkeyint=1\r\n"));
    ASSERT_NE(coder, nullptr);
    std::vector<uint8_t> picture(size_t(width) * height * 4);
    uint32_t seed = 1;
    for (uint8_t& b : picture) {
        seed = seed * 1664525u + 1013904223u;
        b = uint8_t(seed >> 24);
    }
    const size_t guard = 4096;
    std::vector<uint8_t> out(kCoderVideoOutRoom + guard, 0xEE);
    int key = 0;
    EXPECT_LT(coder->Encode(picture.data(), out.data(), &key), 0);
    EXPECT_EQ(key, 0);
    EXPECT_TRUE(
        std::all_of(out.end() - long(guard), out.end(), [](uint8_t b) { return b == 0xEE; }));
}
