// What both sources make of a clip's pictures: turned upright as players
// show them (crop and size then refer to the upright picture), in the
// colours the stream's matrix and range describe (or the usual guess for
// its size), and with the right edge of odd widths intact.
#include "sources/DecoderSource.h"
#include "sources/MovieSource.h"

#include "../base/DiagnosticCapture.h"
#include "SourceTestSupport.h"
#include "sources/LibraryLog.h"

extern "C" {
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace moxel {
namespace {

using test::ClipSpec;

using SourcePictureTest = test::ClipTest;
using Keys = std::vector<std::pair<std::string, std::string>>;

struct Bgr {
    int b, g, r;
};

Bgr pixelAt(const uint8_t* picture, int width, int height, int x, int yFromTop)
{
    const uint8_t* p = picture + (size_t(height - 1 - yFromTop) * width + x) * 4;
    return {p[0], p[1], p[2]};
}

std::unique_ptr<MediaSource> makeSource(const std::string& path)
{
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".mov") == 0)
        return std::make_unique<MovieSource>();
    return std::make_unique<DecoderSource>();
}

// A grey picture with a white block in its top-left corner and a black one
// in its top-right corner, 16 pixels a side.
void drawCorners(uint8_t* bgra, int width, int height, int)
{
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bgra + (size_t(y) * width + x) * 4;
            const uint8_t level = y < 16 && x < 16 ? 255 : y < 16 && x >= width - 16 ? 0 : 128;
            p[0] = p[1] = p[2] = level;
            p[3] = 255;
        }
}

TEST_F(SourcePictureTest, RotatedClipsComeOutUprightAndAreCroppedUpright)
{
    struct Corner {
        bool right, bottom;
    };
    struct Case {
        int rotation;
        Corner white, black; // where players show the two blocks
    };
    const Case cases[] = {
        {0, {false, false}, {true, false}},
        {90, {true, false}, {true, true}},
        {180, {true, true}, {false, true}},
        {270, {false, true}, {false, false}},
    };
    const std::string cropped = profile({{"sizefix", "0"}, {"crop_l", "8"}});
    for (const char* container : {"mp4", "mov"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(container) + " " + std::to_string(c.rotation));
            ClipSpec spec;
            spec.width = 64;
            spec.height = 48;
            spec.frameCount = 3;
            spec.draw = drawCorners;
            spec.displayRotation = c.rotation;
            const std::string path =
                clip("turned" + std::to_string(c.rotation) + "." + container, spec);
            std::unique_ptr<MediaSource> source = makeSource(path);
            ASSERT_TRUE(source->open(path, cropped));
            const bool sideways = c.rotation == 90 || c.rotation == 270;
            EXPECT_EQ(source->inWidth, sideways ? 48 : 64);
            EXPECT_EQ(source->inHeight, sideways ? 64 : 48);
            ASSERT_EQ(source->outWidth, source->inWidth - 8);
            ASSERT_EQ(source->outHeight, source->inHeight);
            const uint8_t* picture = nullptr;
            ASSERT_EQ(source->getVideoFrame(&picture), 1);
            // The middle of each block, in output columns (8 cropped off the left).
            auto level = [&](Corner corner) {
                const int x = (corner.right ? source->inWidth - 4 : 12) - 8;
                const int y = corner.bottom ? source->inHeight - 8 : 8;
                return pixelAt(picture, source->outWidth, source->outHeight, x, y).g;
            };
            EXPECT_GT(level(c.white), 220);
            EXPECT_LT(level(c.black), 35);
            EXPECT_NEAR(level({!c.white.right, !c.white.bottom}), 128, 20);
            source->close();
        }
    }
}

// Eight full-strength bars: white, yellow, cyan, green, magenta, red, blue, black.
const Bgr kBars[8] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
                      {255, 0, 255},   {0, 0, 255},   {255, 0, 0},   {0, 0, 0}};

void drawBars(uint8_t* bgra, int width, int height, int)
{
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bgra + (size_t(y) * width + x) * 4;
            const Bgr& bar = kBars[x * 8 / width];
            p[0] = uint8_t(bar.b);
            p[1] = uint8_t(bar.g);
            p[2] = uint8_t(bar.r);
            p[3] = 255;
        }
}

// The largest difference from the bars over the bar centres of the first picture.
int worstBarError(MediaSource& source)
{
    const uint8_t* picture = nullptr;
    if (source.getVideoFrame(&picture) != 1)
        return 256;
    int worst = 0;
    for (int bar = 0; bar < 8; ++bar) {
        const int x = (2 * bar + 1) * source.outWidth / 16;
        const Bgr got =
            pixelAt(picture, source.outWidth, source.outHeight, x, source.outHeight / 2);
        const Bgr& want = kBars[bar];
        worst = std::max(
            {worst, std::abs(got.b - want.b), std::abs(got.g - want.g), std::abs(got.r - want.r)});
    }
    return worst;
}

TEST_F(SourcePictureTest, ColoursFollowTheStreamsMatrixAndRangeOrTheGuessForItsSize)
{
    struct Case {
        const char* name;
        int width, height;
        const char* matrix; // what the pictures are coded with
        bool tagged;        // whether the stream says so
        const char* pixelFormat;
    };
    const Case cases[] = {
        {"hd_untagged_709", 1280, 720, "bt709", false, "yuv420p"},
        {"hd_tagged_601", 1280, 720, "bt470bg", true, "yuv420p"},
        {"sd_tagged_709", 320, 240, "bt709", true, "yuv420p"},
        {"sd_tagged_2020", 320, 240, "bt2020nc", true, "yuv422p"},
        {"sd_untagged_601", 320, 240, "", false, "yuv420p"},
        {"sd_full_range", 320, 240, "", false, "yuvj420p"},
    };
    const std::string plain = profile({{"sizefix", "0"}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClipSpec spec;
        spec.videoCodec = "rawvideo"; // no loss: only the colour conversion can err
        spec.pixelFormat = c.pixelFormat;
        spec.width = c.width;
        spec.height = c.height;
        spec.frameCount = 1;
        spec.draw = drawBars;
        spec.colorMatrix = c.matrix;
        spec.tagColor = c.tagged;
        DecoderSource source;
        ASSERT_TRUE(source.open(clip(std::string(c.name) + ".mkv", spec), plain));
        EXPECT_LE(worstBarError(source), 4);
    }
}

TEST_F(SourcePictureTest, MjpegKeepsItsFullRangeWithoutComplaints)
{
    ClipSpec spec;
    spec.videoCodec = "mjpeg"; // full-range yuvj420p
    spec.width = 320;
    spec.height = 240;
    spec.frameCount = 5;
    spec.draw = drawBars;
    const std::string path = clip("bars.avi", spec);
    auto lines = std::make_shared<test::CapturingSink>();
    {
        ScopedDiagnosticSink use(lines); // the decoding thread writes here too
        setLibraryLogLevel();
        DecoderSource source;
        ASSERT_TRUE(source.open(path, profile({{"sizefix", "0"}})));
        EXPECT_LE(worstBarError(source), 10);
        const uint8_t* picture = nullptr;
        while (source.getVideoFrame(&picture) == 1) {
        }
        source.close();
        av_log_set_level(AV_LOG_FATAL);
    }
    for (const std::string& line : lines->texts(kMediaLibraryDiagnostics))
        EXPECT_EQ(line.find("deprecated pixel format"), std::string::npos) << line;
}

TEST_F(SourcePictureTest, TheRightEdgeOfOddWidthsArrivesAtSourceSizeAndResized)
{
    ClipSpec spec;
    spec.videoCodec = "rawvideo";
    spec.pixelFormat = "yuv420p";
    spec.width = 854;
    spec.height = 480;
    spec.frameCount = 1; // drawClipPicture: blue grows to 255 at the right edge
    const std::string path = clip("wide.mkv", spec);
    for (const auto& keys : {Keys{{"sizefix", "0"}},
                             Keys{{"doresize", "1"}, {"resizew", "320"}, {"resizeh", "180"}}}) {
        DecoderSource source;
        ASSERT_TRUE(source.open(path, profile(keys)));
        const uint8_t* picture = nullptr;
        ASSERT_EQ(source.getVideoFrame(&picture), 1);
        for (int x = source.outWidth - 6; x < source.outWidth; ++x)
            EXPECT_GT(
                pixelAt(picture, source.outWidth, source.outHeight, x, source.outHeight / 2).b, 230)
                << "column " << x << " of " << source.outWidth;
    }
}

} // namespace
} // namespace moxel
