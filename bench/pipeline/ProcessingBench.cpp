// Times every path of the picture stage beside libswscale doing the same job
// on the same pictures in the same run (BGRA in, BGRA out), and checks that
// each fast result equals the scalar reference. Prints milliseconds per
// picture (best of several rounds) and the ratio ours / libswscale.
//   build/release/bin/bench_processing [rounds]
#include "pipeline/VideoProcessing.h"

#include "profiles/EncodingProfile.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <utility>
#include <vector>

namespace {

using namespace moxel;
using Clock = std::chrono::steady_clock;

// Calls per round so that one round of job lasts about 50 ms.
int callsPerRound(const std::function<void()>& job)
{
    job(); // warm caches and the per-thread tables
    int calls = 1;
    for (;;) {
        const auto t0 = Clock::now();
        for (int i = 0; i < calls; ++i)
            job();
        if (std::chrono::duration<double>(Clock::now() - t0).count() > 0.05)
            return calls;
        calls *= 2;
    }
}

// Best per-call times of two jobs over `rounds` rounds, run alternately so
// that both see the same machine load.
std::pair<double, double> bestMs(const std::function<void()>& a, const std::function<void()>& b,
                                 int rounds)
{
    const int callsA = callsPerRound(a), callsB = callsPerRound(b);
    double bestA = 1e30, bestB = 1e30;
    auto time = [](const std::function<void()>& job, int calls) {
        const auto t0 = Clock::now();
        for (int i = 0; i < calls; ++i)
            job();
        return std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / calls;
    };
    for (int r = 0; r < rounds; ++r) {
        bestA = std::min(bestA, time(a, callsA));
        bestB = std::min(bestB, time(b, callsB));
    }
    return {bestA, bestB};
}

struct Case {
    const char* name;
    int inW, inH, outW, outH;
    int filteringresize, deinterlace;
    // libswscale doing the same job: source height, source stride factor, flags, vertical filter.
    int swsInH, swsStrideRows, swsFlags;
    bool swsBlend121;
};

int runCase(const Case& c, int rounds)
{
    EncodingProfile p;
    p.roundSizeTo16 = 0;
    p.filteredResize = c.filteringresize;
    p.deinterlace = static_cast<Deinterlace>(c.deinterlace);

    std::vector<uint8_t> src(static_cast<size_t>(c.inW) * c.inH * 4), scratch(src.size());
    std::mt19937 rng(42);
    for (auto& v : src)
        v = static_cast<uint8_t>(rng());
    std::vector<uint8_t> dst(static_cast<size_t>(c.outW) * c.outH * 4), ref(dst.size()), work(src);

    // Exactness first (the reference may modify its copy of the source).
    processFrameReference(work.data(), ref.data(), c.inW, c.inH, c.outW, c.outH, scratch.data(), p,
                          BilinearFormula::Packed);
    work = src;
    processFrame(work.data(), dst.data(), c.inW, c.inH, c.outW, c.outH, scratch.data(), p);
    const bool exact = dst == ref;

    SwsFilter filter{};
    SwsVector* blend = nullptr;
    if (c.swsBlend121) {
        blend = sws_allocVec(3);
        blend->coeff[0] = 0.25, blend->coeff[1] = 0.5, blend->coeff[2] = 0.25;
        filter.lumV = filter.chrV = blend;
    }
    SwsContext* sws =
        sws_getContext(c.inW, c.swsInH, AV_PIX_FMT_BGRA, c.outW, c.outH, AV_PIX_FMT_BGRA,
                       c.swsFlags, c.swsBlend121 ? &filter : nullptr, nullptr, nullptr);
    if (!sws) {
        std::fprintf(stderr, "%s: libswscale refused the job\n", c.name);
        return 1;
    }
    std::vector<uint8_t> swsDst(dst.size());
    const uint8_t* srcPlanes[1] = {src.data()};
    const int srcStride[1] = {c.inW * 4 * c.swsStrideRows};
    uint8_t* dstPlanes[1] = {swsDst.data()};
    const int dstStride[1] = {c.outW * 4};

    const auto [oursMs, swsMs] = bestMs(
        [&] {
            processFrame(work.data(), dst.data(), c.inW, c.inH, c.outW, c.outH, scratch.data(), p);
        },
        [&] { sws_scale(sws, srcPlanes, srcStride, 0, c.swsInH, dstPlanes, dstStride); }, rounds);
    const auto t0 = Clock::now();
    processFrameReference(work.data(), ref.data(), c.inW, c.inH, c.outW, c.outH, scratch.data(), p,
                          BilinearFormula::Packed);
    const double refMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    std::printf("%-34s %9.3f %11.3f %7.2f %11.3f   %s\n", c.name, oursMs, swsMs, oursMs / swsMs,
                refMs, exact ? "yes" : "NO");
    sws_freeContext(sws);
    if (blend)
        sws_freeVec(blend);
    return exact ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    initVideoTables();
    const Case cases[] = {
        {"nearest 1920x1080->640x360", 1920, 1080, 640, 360, 0, 0, 1080, 1, SWS_POINT, false},
        {"area 1920x1080->640x360", 1920, 1080, 640, 360, 1, 0, 1080, 1, SWS_AREA, false},
        {"bilinear 720x480->1280x720", 720, 480, 1280, 720, 1, 0, 480, 1, SWS_BILINEAR, false},
        {"exact copy 1280x720", 1280, 720, 1280, 720, 1, 0, 720, 1, SWS_POINT, false},
        // High quality: a vertical 1-2-1 blend at the same size.
        {"deinterlace hq 1920x1080", 1920, 1080, 1920, 1080, 1, 1, 1080, 1, SWS_POINT, true},
        // Plain: the even rows doubled (libswscale reads 540 rows at twice the stride).
        {"deinterlace plain 1920x1080", 1920, 1080, 1920, 1080, 1, 2, 540, 2, SWS_POINT, false},
    };
    std::printf("%-34s %9s %11s %7s %11s   %s\n", "path", "ours ms", "swscale ms", "ratio",
                "scalar ms", "bit-exact");
    int failures = 0;
    for (const Case& c : cases)
        failures += runCase(c, rounds);
    return failures == 0 ? 0 : 1;
}
