// bench_container: what the container costs on top of writing the bytes.
// For each case the same frames are written to a temporary file in four
// ways per round: serialised by KmfFrame::packet into a KmfBitWriter and
// then written (with a fresh writer per frame, as the encoder does, and
// with one writer reused); through KmfFrameGather and one writev (payloads
// not copied); and as a plain write of the same, already serialised bytes.
// Rounds rotate the order of the sides; the best round of each side counts,
// timed in thread CPU time.
// Usage: bench_container [folder] (default $TMPDIR or /tmp).
#include "container/FourCC.h"
#include "container/KmfBitWriter.h"
#include "container/KmfFrame.h"
#include "container/KmfFrameGather.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

using namespace moxel;

namespace {

// Thread CPU time (user and kernel): on a shared machine it leaves out the
// time spent waiting for a processor, which wall time would count.
double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Case {
    const char* name;
    int width, height; // RGB3 picture
    int audioBytes;    // per frame
    int framesPerRound;
    int syncEvery;
};

enum class Side { Plain, FreshWriter, ReusedWriter, Gather };
constexpr int kSides = 4;

int openTarget(const std::string& path)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(2);
    }
    return fd;
}

void writeAll(int fd, const uint8_t* p, size_t n)
{
    while (n) {
        ssize_t w = ::write(fd, p, n);
        if (w <= 0) {
            std::perror("write");
            std::exit(2);
        }
        p += w;
        n -= size_t(w);
    }
}

void packAndWrite(int fd, const KmfFrame& frame, KmfBitWriter& w)
{
    if (frame.packet(w) != 0)
        std::exit(3);
    w.finish();
    writeAll(fd, w.data(), w.length());
}

double runRound(const Case& c, Side side, int fd, KmfFrame frame,
                const std::vector<std::vector<uint8_t>>& serialised)
{
    // Overwriting the same file region keeps the page cache work alike for every round.
    if (::lseek(fd, 0, SEEK_SET) != 0)
        std::exit(2);
    KmfBitWriter reused;
    KmfFrameGather gather;
    double start = cpuSeconds();
    for (int i = 0; i < c.framesPerRound; ++i) {
        frame.isSync = i % c.syncEvery == 0;
        const std::vector<uint8_t>& bytes = serialised[frame.isSync ? 0 : 1];
        switch (side) {
        case Side::Plain:
            writeAll(fd, bytes.data(), bytes.size());
            break;
        case Side::FreshWriter: {
            KmfBitWriter w;
            packAndWrite(fd, frame, w);
            break;
        }
        case Side::ReusedWriter:
            reused.clear();
            packAndWrite(fd, frame, reused);
            break;
        case Side::Gather:
            if (gather.build(frame) != 0 || gather.writeTo(fd) != 0)
                std::exit(3);
            break;
        }
    }
    return cpuSeconds() - start;
}

void runCase(const Case& c, const std::string& path, int rounds)
{
    std::vector<uint8_t> video(size_t(c.width) * c.height * 3), audio(size_t(c.audioBytes));
    for (size_t i = 0; i < video.size(); ++i)
        video[i] = uint8_t(i * 31 + (i >> 9));
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = uint8_t(i * 7);
    KmfFrame frame;
    frame.setInfo(kFourCCRgb3, c.width, c.height, 25.0);
    frame.audioFormat = kFourCCPcm;
    frame.videoData = video.data();
    frame.videoLength = int(video.size());
    frame.audioData = audio.data();
    frame.audioLength = c.audioBytes;

    std::vector<std::vector<uint8_t>> serialised;
    for (int sync : {1, 0}) {
        KmfFrame f = frame;
        f.isSync = sync != 0;
        KmfBitWriter w;
        if (f.packet(w) != 0) {
            std::fprintf(stderr, "%s: the frame cannot be packed\n", c.name);
            std::exit(3);
        }
        w.finish();
        serialised.emplace_back(w.data(), w.data() + w.length());
    }

    const Side sides[kSides] = {Side::Plain, Side::FreshWriter, Side::ReusedWriter, Side::Gather};
    double best[kSides] = {1e30, 1e30, 1e30, 1e30};
    int fd = openTarget(path);
    runRound(c, Side::Plain, fd, frame, serialised); // the file reaches its size once
    for (int r = 0; r < rounds; ++r) {
        for (int s = 0; s < kSides; ++s) {
            int k = (s + r) % kSides; // rotate which side runs first
            best[k] = std::min(best[k], runRound(c, sides[k], fd, frame, serialised));
        }
    }
    ::close(fd);

    double frameBytes = double(serialised[1].size());
    std::printf("%s: %d frames of %.0f bytes per round, best of %d rounds\n", c.name,
                c.framesPerRound, frameBytes, rounds);
    const char* names[kSides] = {"plain write", "packet + write (fresh writer)",
                                 "packet + write (reused writer)", "gather + writev"};
    for (int s = 0; s < kSides; ++s) {
        double fps = c.framesPerRound / best[s];
        std::printf("  %-32s %10.0f frames/s  %8.1f MB/s", names[s], fps, fps * frameBytes / 1e6);
        if (s)
            std::printf("  ratio %.3f (%+.1f %%)", best[s] / best[0],
                        (best[s] / best[0] - 1) * 100);
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string folder =
        argc > 1 ? argv[1] : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    std::string path = folder + "/bench_container_" + std::to_string(::getpid()) + ".kmf";
    // 416x416 is the largest square RGB3 picture within the 524288-byte video
    // limit; 7060 bytes are 1/25 s of 44.1 kHz stereo 16-bit PCM with the
    // PCM coder's 4-byte header. Every RGB3 picture is a key picture, so
    // every frame is a sync frame.
    const Case cases[] = {
        {"416x416 RGB3 + PCM", 416, 416, 7060, 40, 1},
        {"small frames", 16, 16, 300, 20000, 30},
    };
    // Each round writes about 21 MB, more than the processor caches hold.
    for (const Case& c : cases)
        runCase(c, path, 30);
    ::unlink(path.c_str());
    return 0;
}
