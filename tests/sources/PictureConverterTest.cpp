// The picture converter on frames made here: every column of every width
// arrives (the scaler's fast paths work in blocks of 16 pixels), the
// turns put each corner where a player shows it, and a stream keeps one
// scaler, full-range ones too, without the libraries' complaints.
#include "sources/PictureConverter.h"

#include "../base/DiagnosticCapture.h"
#include "sources/LibraryLog.h"
#include "sources/PictureRotation.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace moxel {
namespace {

struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using Frame = std::unique_ptr<AVFrame, FrameFree>;

// The luma of row y: every row has its own grey, so a row that spills into
// its neighbour shows up as well as a column left black.
int rowLuma(int y)
{
    return 40 + 17 * (y % 10);
}

// A width x height frame of format whose row y is the grey rowLuma(y).
Frame greyRows(AVPixelFormat format, int width, int height)
{
    Frame frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame->data[0][y * frame->linesize[0] + x] = uint8_t(rowLuma(y));
    const int chromaRows = -((-height) >> desc->log2_chroma_h);
    for (int plane = 1; plane < 4 && frame->data[plane]; ++plane)
        for (int y = 0; y < chromaRows; ++y)
            for (int x = 0; x < frame->linesize[plane]; ++x)
                frame->data[plane][y * frame->linesize[plane] + x] = 128;
    return frame;
}

// Limited-range luma as the converter shows it.
int expectedGrey(int luma)
{
    return std::clamp((luma - 16) * 255 / 219, 0, 255);
}

TEST(PictureConverterTest, EveryColumnOfEveryWidthCarriesThePicture)
{
    std::vector<int> widths;
    for (int width = 2; width <= 64; ++width)
        widths.push_back(width);
    for (int width : {322, 642, 853, 854, 1366})
        widths.push_back(width);
    const int height = 6;
    for (AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P, AV_PIX_FMT_NV12}) {
        for (int width : widths) {
            // nv12 has no odd widths.
            if (format == AV_PIX_FMT_NV12 && width % 2)
                continue;
            SCOPED_TRACE(std::string(av_get_pix_fmt_name(format)) + " " + std::to_string(width));
            const Frame frame = greyRows(format, width, height);
            PictureConverter converter;
            converter.prepare(width, height, 0);
            ASSERT_TRUE(converter.allocate());
            // Guard bytes on both sides catch writes past the picture.
            const size_t bytes = size_t(width) * height * 4;
            std::vector<uint8_t> buffer(bytes + 128, 0xEE);
            uint8_t* picture = buffer.data() + 64;
            ASSERT_TRUE(converter.convert(frame.get(), picture, width, height));
            for (size_t i = 0; i < 64; ++i) {
                ASSERT_EQ(buffer[i], 0xEE) << "before the picture";
                ASSERT_EQ(buffer[64 + bytes + i], 0xEE) << "after the picture";
            }
            for (int row = 0; row < height; ++row) {
                const int want = expectedGrey(rowLuma(height - 1 - row)); // bottom-up
                for (int x = 0; x < width; ++x) {
                    const uint8_t* p = picture + (size_t(row) * width + x) * 4;
                    ASSERT_NEAR(p[1], want, 2) << "row " << row << " column " << x;
                }
            }
        }
    }
}

// A 4 x 2 picture of numbered pixels (top-down), turned: where each one lands.
TEST(PictureConverterTest, TurnsPutEveryCornerWhereAPlayerShowsIt)
{
    const int width = 4, height = 2;
    const int stride = 6 * 4; // rows padded, as the converter's buffer is
    std::vector<uint8_t> source(size_t(stride) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            source[size_t(y) * stride + x * 4] = uint8_t(10 * y + x);
    struct Case {
        int rotation;
        std::vector<int> uprightTopDown; // the picture a player shows, row by row
    };
    const Case cases[] = {
        {0, {0, 1, 2, 3, 10, 11, 12, 13}},
        {90, {10, 0, 11, 1, 12, 2, 13, 3}},
        {180, {13, 12, 11, 10, 3, 2, 1, 0}},
        {270, {3, 13, 2, 12, 1, 11, 0, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rotation);
        const int outWidth = swapsSides(c.rotation) ? height : width;
        const int outHeight = int(c.uprightTopDown.size()) / outWidth;
        std::vector<uint8_t> picture(c.uprightTopDown.size() * 4, 0xEE);
        turnUpright(source.data(), width, height, stride, c.rotation, picture.data());
        std::vector<int> shown;
        for (int y = 0; y < outHeight; ++y)
            for (int x = 0; x < outWidth; ++x)
                shown.push_back(picture[(size_t(outHeight - 1 - y) * outWidth + x) * 4]);
        EXPECT_EQ(shown, c.uprightTopDown);
    }
}

TEST(PictureConverterTest, FullRangePicturesKeepOneScalerAndNoComplaints)
{
    auto lines = std::make_shared<test::CapturingSink>();
    ScopedDiagnosticSink use(lines);
    setLibraryLogLevel(); // the libraries' warnings reach the sink
    {
        PictureConverter converter;
        converter.prepare(64, 32, 0);
        ASSERT_TRUE(converter.allocate());
        std::vector<uint8_t> picture(64 * 32 * 4);
        Frame frame = greyRows(AV_PIX_FMT_YUVJ420P, 64, 32);
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(converter.convert(frame.get(), picture.data(), 64, 32));
        EXPECT_EQ(converter.scalersBuilt(), 1);
        EXPECT_FALSE(converter.formatChanged());
        // Full range: luma 40 is grey 40, not (40 - 16) * 255 / 219.
        EXPECT_NEAR(picture[size_t(31 * 64) * 4 + 1], 40, 1);
    }
    av_log_set_level(AV_LOG_FATAL);
    EXPECT_TRUE(lines->texts(kMediaLibraryDiagnostics).empty())
        << lines->texts(kMediaLibraryDiagnostics).front();
}

} // namespace
} // namespace moxel
