// Times the picture converter on decoded-size 4:2:0 pictures: a width the
// scaler writes straight into the picture, a width that goes through the
// padded buffer, and the three turns, each beside the plain conversion of
// the same picture in the same run. Prints milliseconds per picture (best
// of several rounds) and what the turn or the padded buffer adds.
//   build/release/bin/bench_pictures [rounds]
#include "sources/PictureConverter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace moxel;
using Clock = std::chrono::steady_clock;

struct Case {
    const char* name;
    int width, height, rotation;
};

// Best milliseconds per conversion over rounds rounds of 20 conversions.
double bestMs(PictureConverter& converter, const AVFrame* frame, std::vector<uint8_t>& picture,
              int rounds)
{
    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = Clock::now();
        for (int i = 0; i < 20; ++i)
            converter.convert(frame, picture.data(), converter.width(), converter.height());
        best = std::min(best,
                        std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / 20);
    }
    return best;
}

double timeCase(int width, int height, int rotation, int rounds)
{
    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame, 0) < 0)
        std::abort();
    for (int plane = 0; plane < 3; ++plane)
        std::memset(frame->data[plane], 90 + 30 * plane,
                    size_t(frame->linesize[plane]) * size_t(plane ? (height + 1) / 2 : height));
    PictureConverter converter;
    converter.prepare(width, height, rotation);
    if (!converter.allocate())
        std::abort();
    std::vector<uint8_t> picture(size_t(width) * height * 4);
    converter.convert(frame, picture.data(), converter.width(), converter.height()); // warm up
    const double ms = bestMs(converter, frame, picture, rounds);
    av_frame_free(&frame);
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const Case cases[] = {
        {"1920x1080 straight", 1920, 1080, 0},   {"1918x1080 padded", 1918, 1080, 0},
        {"1920x1080 turn 90", 1920, 1080, 90},   {"1920x1080 turn 180", 1920, 1080, 180},
        {"1920x1080 turn 270", 1920, 1080, 270}, {"854x480 padded", 854, 480, 0},
        {"854x480 turn 90", 854, 480, 90},
    };
    std::printf("%-22s %10s %10s %8s\n", "case", "ms", "plain ms", "added");
    for (const Case& c : cases) {
        const double ms = timeCase(c.width, c.height, c.rotation, rounds);
        // The plain conversion: the nearest width the scaler writes straight.
        const double plainMs = timeCase(c.width / 16 * 16, c.height, 0, rounds);
        std::printf("%-22s %10.3f %10.3f %8.3f\n", c.name, ms, plainMs, ms - plainMs);
    }
    return 0;
}
