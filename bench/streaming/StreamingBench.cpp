// Encoding throughput of one job (uncompressed 320x240 pictures, no audio)
// written to a file, streamed to a server that reads everything, and
// streamed to a server that never reads. The stream must not slow the
// encoder: the pump never waits, and a server that falls behind loses frames
// instead. Prints frames per second and each stream's ratio to the file rate.
//
//   bench_streaming [frames] [rounds] [width height]
#include "base/DiagnosticSink.h"
#include "container/FourCC.h"
#include "encoder/KmfEncoder.h"
#include "encoder/StreamOutput.h"
#include "tools/kmf-receive/KmfReceiver.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

using namespace moxel;

namespace {

int kWidth = 320;
int kHeight = 240;

struct Result {
    double fps = 0;    // by the wall clock
    double cpuFps = 0; // by the encoding thread's own processor time
    uint64_t dropped = 0;
};

// Keeps the stream's lines (a server that never reads makes some) out of
// the figures printed.
class QuietSink : public DiagnosticSink {
  public:
    void write(std::string_view, DiagnosticLevel, std::string_view) override {}
};

double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

Result encode(const std::string& destination, int frames, std::vector<uint8_t>& picture)
{
    ScopedDiagnosticSink quiet(std::make_shared<QuietSink>());
    KmfEncoder encoder;
    encoder.setVideo(kFourCCRgb3, kWidth, kHeight, 25.0, kFourCCRgba, nullptr);
    encoder.openOutput(destination.c_str());
    if (encoder.errorText()) {
        std::fprintf(stderr, "bench_streaming: %s\n", encoder.errorText());
        std::exit(1);
    }
    auto start = std::chrono::steady_clock::now();
    double cpuStart = threadSeconds();
    for (int i = 0; i < frames; ++i) {
        picture[size_t(i) % picture.size()] ^= 0x5A;
        encoder.addVideoFrame(picture.data());
    }
    auto end = std::chrono::steady_clock::now();
    double cpu = threadSeconds() - cpuStart;
    Result r;
    r.dropped = encoder.streamOutput() ? encoder.streamOutput()->framesDropped() : 0;
    encoder.close();
    r.fps = frames / std::chrono::duration<double>(end - start).count();
    r.cpuFps = frames / cpu;
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1500;
    int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    if (argc > 4) {
        kWidth = std::max(1, std::atoi(argv[3]));
        kHeight = std::max(1, std::atoi(argv[4]));
    }
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("moxel-bench-streaming-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string header = (dir / "header.txt").string();
    {
        std::FILE* f = std::fopen(header.c_str(), "w");
        std::fputs("icy-name:bench\nicy-genre:test\n", f);
        std::fclose(f);
    }
    std::vector<uint8_t> picture(size_t(kWidth) * kHeight * 4);
    for (size_t i = 0; i < picture.size(); ++i)
        picture[i] = uint8_t(i * 13);

    ReceiverOptions reading;
    reading.keepBytes = false;
    ReceiverOptions stalling = reading;
    stalling.stall = true;

    std::vector<Result> file, read, stall;
    for (int round = 0; round < rounds; ++round) {
        file.push_back(encode((dir / "out.kmf").string(), frames, picture));

        KmfReceiver reader;
        reader.start(reading);
        read.push_back(encode("qz:127.0.0.1:" + std::to_string(reader.port()) + ":" + header,
                              frames, picture));
        reader.stop();

        KmfReceiver staller;
        staller.start(stalling);
        stall.push_back(encode("qz:127.0.0.1:" + std::to_string(staller.port()) + ":" + header,
                               frames, picture));
        staller.stop();
    }
    std::filesystem::remove_all(dir);

    auto median = [](const std::vector<Result>& results, double Result::*field) {
        std::vector<double> v;
        for (const Result& r : results)
            v.push_back(r.*field);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    auto dropped = [](const std::vector<Result>& results) {
        uint64_t n = 0;
        for (const Result& r : results)
            n += r.dropped;
        return (unsigned long long)n;
    };
    double f = median(file, &Result::fps), fc = median(file, &Result::cpuFps);
    std::printf("%d frames of %dx%d RGB3 (%zu bytes a picture), median of %d rounds\n", frames,
                kWidth, kHeight, size_t(kWidth) * kHeight * 3, rounds);
    std::printf(
        "                    wall fps  ratio   encoder-thread fps  ratio   frames left out\n");
    std::printf("file              %10.1f  %5.3f  %14.1f      %5.3f\n", f, 1.0, fc, 1.0);
    struct Row {
        const char* name;
        const std::vector<Result>* results;
    };
    for (Row row : {Row{"reading server", &read}, Row{"stalling server", &stall}}) {
        double w = median(*row.results, &Result::fps), c = median(*row.results, &Result::cpuFps);
        std::printf("%-16s  %10.1f  %5.3f  %14.1f      %5.3f   %llu\n", row.name, w, w / f, c,
                    c / fc, dropped(*row.results));
    }
    return 0;
}
