// Picture stage: hand-computed pixels for every path, the deinterlace rules,
// the output-size rule and its refusals, and the fast paths against the
// scalar reference on random pictures of odd sizes.
#include "pipeline/VideoProcessing.h"

#include "profiles/EncodingProfile.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

namespace moxel {
namespace {

using Bytes = std::vector<uint8_t>;

class VideoProcessingTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { initVideoTables(); }

    static EncodingProfile plainProfile()
    {
        EncodingProfile p;
        p.friendlyName = "Test";
        p.roundSizeTo16 = 0;
        return p;
    }
};

// A picture whose every byte of pixel (x, y) is value(x, y).
template <typename F> Bytes makePicture(int w, int h, F value)
{
    Bytes b(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 4; ++k)
                b[(static_cast<size_t>(y) * w + x) * 4 + k] = static_cast<uint8_t>(value(x, y));
    return b;
}

Bytes randomPicture(int w, int h, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes b(static_cast<size_t>(w) * h * 4);
    for (auto& v : b)
        v = static_cast<uint8_t>(rng());
    return b;
}

uint8_t byteAt(const Bytes& pic, int w, int x, int y, int k = 0)
{
    return pic[(static_cast<size_t>(y) * w + x) * 4 + k];
}

enum class Impl { Reference, ReferenceTable, Fast, FastTable };

Bytes run(Impl impl, Bytes src, int inW, int inH, int outW, int outH, const EncodingProfile& p)
{
    Bytes dst(static_cast<size_t>(outW) * outH * 4, 0xEE);
    Bytes scratch(src.size(), 0xDD);
    switch (impl) {
    case Impl::Reference:
        processFrameReference(src.data(), dst.data(), inW, inH, outW, outH, scratch.data(), p,
                              BilinearFormula::Packed);
        break;
    case Impl::ReferenceTable:
        processFrameReference(src.data(), dst.data(), inW, inH, outW, outH, scratch.data(), p,
                              BilinearFormula::Table);
        break;
    case Impl::Fast:
        processFrameFast(src.data(), dst.data(), inW, inH, outW, outH, scratch.data(), p,
                         BilinearFormula::Packed);
        break;
    case Impl::FastTable:
        processFrameFast(src.data(), dst.data(), inW, inH, outW, outH, scratch.data(), p,
                         BilinearFormula::Table);
        break;
    }
    return dst;
}

TEST_F(VideoProcessingTest, BlendTableEntriesAndTableFormulaNeverSpills)
{
    const uint8_t* t = blendTable();
    EXPECT_EQ(t[0 * 256 + 0], 0);
    EXPECT_EQ(t[255 * 256 + 255], 255);
    EXPECT_EQ(t[255 * 256 + 0], 0);
    EXPECT_EQ(t[200 * 256 + 127], 100);
    EXPECT_EQ(t[40 * 256 + 128], 20);
    // The four weighted look-ups of a full-white neighbourhood are the
    // largest sum: it must fit a byte for every fraction pair.
    for (int fx = 0; fx < 256; ++fx)
        for (int fy = 0; fy < 256; ++fy) {
            const int sum = t[255 * 256 + t[(255 - fx) * 256 + 255 - fy]] +
                            t[255 * 256 + t[fx * 256 + 255 - fy]] +
                            t[255 * 256 + t[(255 - fx) * 256 + fy]] +
                            t[255 * 256 + t[fx * 256 + fy]];
            ASSERT_LE(sum, 255) << fx << "," << fy;
        }
    EXPECT_TRUE(packedIntegerFlag()); // every x86-64 processor has SSE2
}

TEST_F(VideoProcessingTest, OutputSizeRule)
{
    struct Case {
        int inW, inH, cropL, cropT, cropR, cropB, doresize, rw, rh, sizefix, outW, outH;
    } cases[] = {
        {100, 75, 0, 0, 0, 0, 0, 320, 240, 1, 112, 80},
        {100, 75, 0, 0, 0, 0, 0, 320, 240, 0, 100, 75},
        {720, 576, 8, 4, 8, 4, 0, 320, 240, 0, 704, 568},
        {720, 576, 8, 4, 8, 4, 1, 321, 239, 0, 321, 239},
        {720, 576, 8, 4, 8, 4, 1, 321, 239, 1, 336, 240},
        {640, 480, 0, 0, 0, 0, 0, 0, 0, 1, 640, 480},
    };
    for (const Case& c : cases) {
        EncodingProfile p = plainProfile();
        p.cropL = c.cropL, p.cropT = c.cropT, p.cropR = c.cropR, p.cropB = c.cropB;
        p.resizeEnabled = c.doresize, p.resizeWidth = c.rw, p.resizeHeight = c.rh,
        p.roundSizeTo16 = c.sizefix;
        const OutputSize s = computeOutputSize(c.inW, c.inH, p);
        EXPECT_EQ(s.width, c.outW) << c.inW << "x" << c.inH;
        EXPECT_EQ(s.height, c.outH) << c.inW << "x" << c.inH;
    }
}

TEST_F(VideoProcessingTest, ValidationRefusesWhatCannotBeProcessed)
{
    struct Case {
        const char* what;
        int inW, inH, cropL, cropT, cropR, cropB, doresize, rw, rh, sizefix, outfruse;
        double outfror;
        bool ok;
    } cases[] = {
        {"plain", 640, 480, 0, 0, 0, 0, 0, 320, 240, 1, 0, 30.0, true},
        {"one pixel left", 640, 480, 639, 0, 0, 479, 0, 320, 240, 0, 0, 30.0, true},
        {"negative crop", 640, 480, -2, 0, 0, 0, 0, 320, 240, 0, 0, 30.0, false},
        {"crop leaves no column", 640, 480, 320, 0, 320, 0, 0, 320, 240, 0, 0, 30.0, false},
        {"crop leaves no row", 640, 480, 0, 400, 0, 100, 1, 320, 240, 0, 0, 30.0, false},
        {"zero resize", 640, 480, 0, 0, 0, 0, 1, 0, 240, 0, 0, 30.0, false},
        {"negative resize", 640, 480, 0, 0, 0, 0, 1, 320, -240, 0, 0, 30.0, false},
        {"resize rounded past the limit", 640, 480, 0, 0, 0, 0, 1, 32760, 240, 1, 0, 30.0, false},
        {"largest resize", 640, 480, 0, 0, 0, 0, 1, 32767, 16, 0, 0, 30.0, true},
        {"source too wide", 40000, 480, 0, 0, 0, 0, 1, 320, 240, 0, 0, 30.0, false},
        {"empty source", 0, 0, 0, 0, 0, 0, 1, 320, 240, 0, 0, 30.0, false},
        {"infinite frame rate", 640, 480, 0, 0, 0, 0, 0, 320, 240, 0, 1, 1.0 / 0.0, false},
        {"negative frame rate", 640, 480, 0, 0, 0, 0, 0, 320, 240, 0, 1, -25.0, false},
        {"frame rate unused", 640, 480, 0, 0, 0, 0, 0, 320, 240, 0, 0, -25.0, true},
    };
    for (const Case& c : cases) {
        EncodingProfile p = plainProfile();
        p.friendlyName = "Web 320";
        p.cropL = c.cropL, p.cropT = c.cropT, p.cropR = c.cropR, p.cropB = c.cropB;
        p.resizeEnabled = c.doresize, p.resizeWidth = c.rw, p.resizeHeight = c.rh,
        p.roundSizeTo16 = c.sizefix;
        p.useOutputFrameRate = c.outfruse, p.outputFrameRate = c.outfror;
        std::string error;
        EXPECT_EQ(validateProcessing(p, c.inW, c.inH, error), c.ok) << c.what;
        if (c.ok) {
            EXPECT_TRUE(error.empty()) << c.what;
        } else {
            EXPECT_EQ(error.rfind("profile \"Web 320\": ", 0), 0u) << c.what << ": " << error;
            // processFrame refuses the same sizes and leaves the output alone.
            if (c.inW > 0 && c.inW <= 32767 && !c.outfruse) {
                const OutputSize s = computeOutputSize(c.inW, c.inH, p);
                Bytes src(static_cast<size_t>(c.inW) * c.inH * 4, 1), scratch(src.size()),
                    dst(64, 0xEE);
                processFrame(src.data(), dst.data(), c.inW, c.inH, s.width, s.height,
                             scratch.data(), p);
                EXPECT_EQ(dst, Bytes(64, 0xEE)) << c.what;
            }
        }
    }
    EncodingProfile p = plainProfile();
    std::string error;
    EXPECT_TRUE(validateAudioProcessing(p, error));
    p.outChannels = 6;
    EXPECT_FALSE(validateAudioProcessing(p, error));
    EXPECT_NE(error.find("6 output channels"), std::string::npos);
    p.outChannels = 1;
    p.outSampleRate = 0;
    EXPECT_FALSE(validateAudioProcessing(p, error));
}

TEST_F(VideoProcessingTest, PathChoice)
{
    struct Case {
        int cw, ch, outW, outH, filtering;
        ResizePath path;
    } cases[] = {
        {100, 80, 100, 80, 1, ResizePath::ExactCopy},
        {100, 80, 100, 80, 0, ResizePath::ExactCopy},
        {100, 80, 50, 40, 0, ResizePath::Nearest},
        {100, 80, 200, 160, 0, ResizePath::Nearest},
        {100, 80, 50, 160, 1, ResizePath::AreaAverage},
        {100, 80, 100, 79, 1, ResizePath::AreaAverage},
        {100, 80, 200, 160, 1, ResizePath::Bilinear},
        {100, 80, 100, 160, 1, ResizePath::Bilinear},
    };
    for (const Case& c : cases) {
        EncodingProfile p = plainProfile();
        p.filteredResize = c.filtering;
        FrameGeometry g;
        ASSERT_TRUE(makeFrameGeometry(c.cw, c.ch, c.outW, c.outH, p, g));
        EXPECT_EQ(g.path, c.path) << c.cw << "x" << c.ch << " -> " << c.outW << "x" << c.outH;
    }
}

TEST_F(VideoProcessingTest, ExactCopyIsByteForByteWithCropAndFiltering)
{
    EncodingProfile p = plainProfile();
    p.cropL = 3, p.cropT = 2, p.cropR = 1, p.cropB = 4;
    p.filteredResize = 1;
    const Bytes src = randomPicture(13, 11, 7);
    for (Impl impl : {Impl::Reference, Impl::Fast}) {
        const Bytes dst = run(impl, src, 13, 11, 9, 5, p);
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 9; ++c)
                for (int k = 0; k < 4; ++k)
                    ASSERT_EQ(byteAt(dst, 9, c, r, k), byteAt(src, 13, c + 3, r + 2, k));
    }
    // No crop, no resize, no size rounding: the destination is the source.
    p = plainProfile();
    EXPECT_EQ(run(Impl::Fast, src, 13, 11, 13, 11, p), src);
}

TEST_F(VideoProcessingTest, NearestStretchesTheSizefixWindow)
{
    // 100 x 75 without resize, sizefix on: 112 x 80, xstep 58514, ystep 61440.
    EncodingProfile p = plainProfile();
    p.roundSizeTo16 = 1;
    p.filteredResize = 0;
    const OutputSize s = computeOutputSize(100, 75, p);
    ASSERT_EQ(s.width, 112);
    ASSERT_EQ(s.height, 80);
    const Bytes src = makePicture(100, 75, [](int x, int y) { return x + (y % 2) * 100; });
    for (Impl impl : {Impl::Reference, Impl::Fast}) {
        const Bytes dst = run(impl, src, 100, 75, 112, 80, p);
        const struct {
            int c, r, x, y;
        } expect[] = {
            {0, 0, 0, 0},    {7, 0, 6, 0},   {8, 0, 7, 0},   {9, 0, 8, 0},
            {111, 0, 99, 0}, {0, 16, 0, 15}, {0, 17, 0, 15}, {5, 79, 4, 74},
        };
        for (const auto& e : expect)
            EXPECT_EQ(byteAt(dst, 112, e.c, e.r), byteAt(src, 100, e.x, e.y)) << e.c << "," << e.r;
    }
    // The filtered path stretches the same window (enlarging: bilinear).
    p.filteredResize = 1;
    EXPECT_EQ(run(Impl::Fast, src, 100, 75, 112, 80, p),
              run(Impl::Reference, src, 100, 75, 112, 80, p));
}

TEST_F(VideoProcessingTest, AreaAverageHandComputed)
{
    EncodingProfile p = plainProfile();
    // 2 x 1 -> 1 x 1: weights 65534 and 65535.
    const struct {
        int a, b, out;
    } pairs[] = {{0, 255, 127}, {255, 0, 127}, {1, 2, 1}, {10, 30, 20}, {200, 200, 200}};
    for (const auto& c : pairs) {
        const Bytes src = makePicture(2, 1, [&](int x, int) { return x == 0 ? c.a : c.b; });
        for (Impl impl : {Impl::Reference, Impl::Fast})
            EXPECT_EQ(byteAt(run(impl, src, 2, 1, 1, 1, p), 1, 0, 0), c.out) << c.a << "," << c.b;
    }
}

TEST_F(VideoProcessingTest, LargeShrinksOfWhiteStayWhite)
{
    EncodingProfile p = plainProfile();
    const struct {
        int inW, inH, outW, outH;
    } cases[] = {
        {33, 22, 3, 2},        // exactly 11 times
        {1920, 1080, 174, 98}, // a little more than 11 times
        {600, 600, 2, 2},      // footprints beyond 32-bit sums
        {2, 2, 1, 6},          // row 3 starts one unit short of a row: all weights truncate to 0
    };
    for (const auto& c : cases) {
        const Bytes src(static_cast<size_t>(c.inW) * c.inH * 4, 255);
        for (Impl impl : {Impl::Reference, Impl::Fast})
            EXPECT_EQ(run(impl, src, c.inW, c.inH, c.outW, c.outH, p),
                      Bytes(static_cast<size_t>(c.outW) * c.outH * 4, 255))
                << c.inW << "x" << c.inH << " -> " << c.outW << "x" << c.outH;
    }
}

TEST_F(VideoProcessingTest, BilinearHandComputedBothFormulas)
{
    // 2 x 2 -> 4 x 4: rows 2 and 3 lie on the last source row, columns 1..3
    // past the second-to-last column.
    const Bytes src = makePicture(
        2, 2, [](int x, int y) { return y == 0 ? (x == 0 ? 0 : 200) : (x == 0 ? 100 : 40); });
    EncodingProfile p = plainProfile();
    const int packed[4][4] = {
        {0, 199, 199, 199}, {50, 119, 119, 119}, {100, 100, 40, 40}, {100, 100, 40, 40}};
    const int table[4][4] = {
        {0, 200, 200, 200}, {50, 120, 120, 120}, {100, 100, 40, 40}, {100, 100, 40, 40}};
    for (Impl impl : {Impl::Reference, Impl::ReferenceTable, Impl::Fast, Impl::FastTable}) {
        const Bytes dst = run(impl, src, 2, 2, 4, 4, p);
        const bool isTable = impl == Impl::ReferenceTable || impl == Impl::FastTable;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(byteAt(dst, 4, c, r), isTable ? table[r][c] : packed[r][c])
                    << c << "," << r;
    }
}

TEST_F(VideoProcessingTest, BilinearRowsPastTheLastSourceRowRepeatIt)
{
    EncodingProfile p = plainProfile();
    const Bytes src = randomPicture(3, 3, 11);
    for (Impl impl : {Impl::Reference, Impl::Fast}) {
        const Bytes dst = run(impl, src, 3, 3, 3, 6, p); // ystep 0.5: rows 4 and 5 map to row 2
        for (int r = 4; r < 6; ++r)
            for (int c = 0; c < 3; ++c)
                for (int k = 0; k < 4; ++k)
                    EXPECT_EQ(byteAt(dst, 3, c, r, k), byteAt(src, 3, c, 2, k));
    }
}

TEST_F(VideoProcessingTest, BilinearOnOneColumnStaysInside)
{
    // A one-column source has no second-to-last column; both neighbours are
    // column 0.
    EncodingProfile p = plainProfile();
    const Bytes src = makePicture(1, 2, [](int, int y) { return y == 0 ? 10 : 210; });
    for (Impl impl : {Impl::Reference, Impl::Fast}) {
        const Bytes dst = run(impl, src, 1, 2, 1, 4, p);
        EXPECT_EQ(byteAt(dst, 1, 0, 0), 10);
        EXPECT_EQ(byteAt(dst, 1, 0, 1), 110);
        EXPECT_EQ(byteAt(dst, 1, 0, 2), 210);
        EXPECT_EQ(byteAt(dst, 1, 0, 3), 210);
    }
}

TEST_F(VideoProcessingTest, DeinterlaceRulesAtSmallAndOddHeights)
{
    const int values[] = {200, 17, 99, 64, 255};
    auto h = [](int a) { return a >> 1; };
    auto avg = [&](int a, int b) { return h(a) + h(b); };
    for (int height = 1; height <= 5; ++height) {
        const Bytes src = makePicture(5, height, [&](int, int y) { return values[y]; });
        // A number outside the named modes, from a hand-edited file, is plain.
        for (int mode : {1, 2, 5, -1}) {
            EncodingProfile p = plainProfile();
            p.deinterlace = static_cast<Deinterlace>(mode);
            for (Impl impl : {Impl::Reference, Impl::Fast}) {
                const Bytes dst = run(impl, src, 5, height, 5, height, p);
                for (int y = 0; y < height; ++y) {
                    int want = values[y];
                    if (height >= 3 && mode == 1) {
                        if (y == 0)
                            want = avg(values[0], values[1]);
                        else if (y == height - 1)
                            want = avg(values[y - 1], values[y]);
                        else
                            want = avg(avg(values[y + 1], values[y - 1]), values[y]);
                    } else if (height >= 3 && y % 2 == 1) {
                        want = values[y - 1];
                    }
                    for (int x = 0; x < 5; ++x)
                        EXPECT_EQ(byteAt(dst, 5, x, y), want)
                            << "height " << height << " mode " << mode << " row " << y;
                }
            }
        }
    }
}

TEST_F(VideoProcessingTest, FastPathsEqualTheReferenceOnRandomPictures)
{
    struct Geometry {
        int inW, inH, cropL, cropT, cropR, cropB, outW, outH;
    } geometries[] = {
        {37, 29, 0, 0, 0, 0, 37, 29},     {37, 29, 3, 2, 5, 1, 29, 26},
        {37, 29, 0, 0, 0, 0, 13, 7},      {37, 29, 1, 3, 2, 0, 71, 45},
        {37, 29, 0, 0, 0, 0, 18, 61},     {37, 29, 2, 2, 2, 2, 99, 15},
        {1, 1, 0, 0, 0, 0, 3, 5},         {1, 7, 0, 0, 0, 0, 1, 9},
        {9, 1, 0, 0, 0, 0, 17, 1},        {2, 3, 0, 0, 0, 0, 5, 7},
        {101, 67, 0, 0, 0, 0, 9, 5},      {211, 157, 7, 5, 3, 9, 11, 9},
        {211, 157, 0, 0, 0, 0, 203, 151}, {64, 48, 0, 0, 0, 0, 1, 1},
        {33, 31, 0, 0, 0, 0, 65, 31},
    };
    uint32_t seed = 1;
    for (const Geometry& g : geometries)
        for (int filtering : {0, 1})
            for (int deinterlace : {0, 1, 2}) {
                EncodingProfile p = plainProfile();
                p.cropL = g.cropL, p.cropT = g.cropT, p.cropR = g.cropR, p.cropB = g.cropB;
                p.filteredResize = filtering;
                p.deinterlace = static_cast<Deinterlace>(deinterlace);
                const Bytes src = randomPicture(g.inW, g.inH, seed++);
                const Bytes want = run(Impl::Reference, src, g.inW, g.inH, g.outW, g.outH, p);
                ASSERT_EQ(run(Impl::Fast, src, g.inW, g.inH, g.outW, g.outH, p), want)
                    << g.inW << "x" << g.inH << " -> " << g.outW << "x" << g.outH << " filtering "
                    << filtering << " deinterlace " << deinterlace;
                ASSERT_EQ(run(Impl::FastTable, src, g.inW, g.inH, g.outW, g.outH, p),
                          run(Impl::ReferenceTable, src, g.inW, g.inH, g.outW, g.outH, p));
            }
}

TEST_F(VideoProcessingTest, AreaAverageEqualsTheReferenceForEveryFootprintShape)
{
    // Footprints of 1 to 6 source pixels a side, whole and fractional steps,
    // odd and even row counts, and the largest footprint the 32-bit sums
    // take (16 x 16) filled with the brightest values that are not white.
    EncodingProfile p = plainProfile();
    p.filteredResize = 1;
    uint32_t seed = 100;
    for (int sx = 1; sx <= 6; ++sx)
        for (int sy = 1; sy <= 6; ++sy)
            for (int extra : {0, 3}) {
                const int outW = 7, outH = 5;
                const int inW = outW * sx + extra, inH = outH * sy + (extra ? 1 : 0);
                if (inW == outW && inH == outH)
                    continue;
                const Bytes src = randomPicture(inW, inH, seed++);
                ASSERT_EQ(run(Impl::Fast, src, inW, inH, outW, outH, p),
                          run(Impl::Reference, src, inW, inH, outW, outH, p))
                    << inW << "x" << inH << " -> " << outW << "x" << outH;
            }
    Bytes bright = randomPicture(48, 32, 7);
    for (uint8_t& b : bright)
        b = static_cast<uint8_t>(250 + b % 6);
    for (auto [outW, outH] : {std::pair{3, 2}, std::pair{4, 3}})
        ASSERT_EQ(run(Impl::Fast, bright, 48, 32, outW, outH, p),
                  run(Impl::Reference, bright, 48, 32, outW, outH, p))
            << outW << "x" << outH;
}

TEST_F(VideoProcessingTest, GeometryChangesBetweenCallsOnOneThread)
{
    // The per-thread tables must follow the geometry of each call.
    EncodingProfile p = plainProfile();
    const Bytes a = randomPicture(40, 30, 3), b = randomPicture(50, 20, 4);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(run(Impl::Fast, a, 40, 30, 17, 13, p),
                  run(Impl::Reference, a, 40, 30, 17, 13, p));
        EXPECT_EQ(run(Impl::Fast, b, 50, 20, 17, 13, p),
                  run(Impl::Reference, b, 50, 20, 17, 13, p));
        EXPECT_EQ(run(Impl::Fast, b, 50, 20, 77, 33, p),
                  run(Impl::Reference, b, 50, 20, 77, 33, p));
    }
}

TEST_F(VideoProcessingTest, SourcesOnTwoThreadsDoNotShareTables)
{
    // Two sources with different geometries converting at the same time.
    EncodingProfile p = plainProfile();
    const Bytes a = randomPicture(64, 36, 21), b = randomPicture(45, 33, 22);
    const Bytes wantA = run(Impl::Reference, a, 64, 36, 23, 17, p);
    const Bytes wantB = run(Impl::Reference, b, 45, 33, 90, 50, p);
    bool okA = true, okB = true;
    std::thread ta([&] {
        for (int i = 0; i < 200; ++i)
            okA = okA && run(Impl::Fast, a, 64, 36, 23, 17, p) == wantA;
    });
    std::thread tb([&] {
        for (int i = 0; i < 200; ++i)
            okB = okB && run(Impl::Fast, b, 45, 33, 90, 50, p) == wantB;
    });
    ta.join();
    tb.join();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
}

} // namespace
} // namespace moxel
