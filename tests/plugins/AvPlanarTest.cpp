// Planar pictures into the plug-in's video coders (CreateVideoPlanar3): they
// decode to what the "RGBA" way gives for the same picture, within what the
// colour conversion of that way costs, and the coders take only colours
// their stream can state.
#include "AvPlugin.h"
#include "AvTestMedia.h"

#include <gtest/gtest.h>

#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

using namespace moxel;
using namespace moxel::test;

namespace {

struct PlanarCase {
    const char* fourCC;
    const char* decoder;
};

class PlanarVideoTest : public ::testing::TestWithParam<PlanarCase> {};

constexpr int kWidth = 160;
constexpr int kHeight = 120;

KmfPlanarFormat colours(int matrix, int fullRange = 0)
{
    KmfPlanarFormat format;
    format.colourMatrix = matrix;
    format.fullRange = fullRange;
    return format;
}

} // namespace

TEST_P(PlanarVideoTest, PlanarPicturesDecodeLikeTheRgbaWay)
{
    const uint32_t format = fourCC(GetParam().fourCC);
    auto planar =
        AvPlugin::planarVideo(format, kWidth, kHeight, 25.0, colours(AVCOL_SPC_SMPTE170M));
    auto rgba = AvPlugin::video(format, kWidth, kHeight, 25.0);
    ASSERT_NE(planar, nullptr);
    ASSERT_NE(rgba, nullptr);
    VideoDecoder planarDecoded(GetParam().decoder);
    VideoDecoder rgbaDecoded(GetParam().decoder);
    std::vector<uint8_t> out(kCoderVideoOutRoom);
    for (int t = 0; t < 12; ++t) {
        SCOPED_TRACE(t);
        const YuvPicture reference = patternReference(kWidth, kHeight, t);
        const std::vector<uint8_t> planes = packedPlanes(reference);
        int planarKey = -1;
        const int planarLength = planar->Encode(planes.data(), out.data(), &planarKey);
        ASSERT_GT(planarLength, 0);
        ASSERT_EQ(planarDecoded.decode(out.data(), planarLength), 1);
        const std::vector<uint8_t> picture = patternPicture(kWidth, kHeight, t);
        int rgbaKey = -1;
        const int rgbaLength = rgba->Encode(picture.data(), out.data(), &rgbaKey);
        ASSERT_GT(rgbaLength, 0);
        ASSERT_EQ(rgbaDecoded.decode(out.data(), rgbaLength), 1);

        EXPECT_EQ(planarKey, rgbaKey);
        // Not upside down, not shifted, chroma planes in their order.
        const double planarQuality = psnr(planarDecoded.picture(), reference);
        EXPECT_GT(planarQuality, psnr(rgbaDecoded.picture(), reference) - 1.0);
        EXPECT_GT(psnr(planarDecoded.picture(), rgbaDecoded.picture()), 30.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, PlanarVideoTest,
                         ::testing::Values(PlanarCase{"H264", "h264"}, PlanarCase{"VP80", "vp8"},
                                           PlanarCase{"XVID", "mpeg4"}),
                         [](const auto& info) { return std::string(info.param.decoder); });

TEST(PlanarVideo, CodersTakeOnlyColoursTheirStreamStates)
{
    const uint32_t h264 = fourCC("H264");
    // H.264 names the matrix: BT.709 pictures stay BT.709 and say so.
    auto hd = AvPlugin::planarVideo(h264, kWidth, kHeight, 25.0, colours(AVCOL_SPC_BT709));
    ASSERT_NE(hd, nullptr);
    std::vector<uint8_t> out(kCoderVideoOutRoom);
    const std::vector<uint8_t> planes = packedPlanes(patternReference(kWidth, kHeight, 0));
    int key = 0;
    const int length = hd->Encode(planes.data(), out.data(), &key);
    ASSERT_GT(length, 0);
    VideoDecoder decoded("h264");
    ASSERT_EQ(decoded.decode(out.data(), length), 1);
    EXPECT_EQ(decoded.colourMatrix(), AVCOL_SPC_BT709);

    // The "RGBA" way converts to BT.601 and says that.
    auto rgba = AvPlugin::video(h264, kWidth, kHeight, 25.0);
    ASSERT_NE(rgba, nullptr);
    const std::vector<uint8_t> picture = patternPicture(kWidth, kHeight, 0);
    const int rgbaLength = rgba->Encode(picture.data(), out.data(), &key);
    VideoDecoder rgbaDecoded("h264");
    ASSERT_EQ(rgbaDecoded.decode(out.data(), rgbaLength), 1);
    EXPECT_EQ(rgbaDecoded.colourMatrix(), AVCOL_SPC_SMPTE170M);

    // VP8 and MPEG-4 cannot name one: BT.601 only, so that players show the
    // colours right; the program then sends "RGBA" pictures.
    for (const char* name : {"VP80", "XVID"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(
            AvPlugin::planarVideo(fourCC(name), kWidth, kHeight, 25.0, colours(AVCOL_SPC_BT709)),
            nullptr);
        EXPECT_NE(
            AvPlugin::planarVideo(fourCC(name), kWidth, kHeight, 25.0, colours(AVCOL_SPC_BT470BG)),
            nullptr);
    }
    // Full range, unnamed matrices, other layouts and other formats: declined.
    for (const char* name : {"H264", "VP80", "XVID"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(AvPlugin::planarVideo(fourCC(name), kWidth, kHeight, 25.0,
                                        colours(AVCOL_SPC_SMPTE170M, 1)),
                  nullptr);
        EXPECT_EQ(AvPlugin::planarVideo(fourCC(name), kWidth, kHeight, 25.0,
                                        colours(AVCOL_SPC_UNSPECIFIED)),
                  nullptr);
        KmfPlanarFormat other = colours(AVCOL_SPC_SMPTE170M);
        other.layout = fourCC("NV12");
        EXPECT_EQ(AvPlugin::planarVideo(fourCC(name), kWidth, kHeight, 25.0, other), nullptr);
    }
    EXPECT_EQ(
        AvPlugin::planarVideo(fourCC("MP3 "), kWidth, kHeight, 25.0, colours(AVCOL_SPC_SMPTE170M)),
        nullptr);
}
