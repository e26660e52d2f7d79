// bench_cli [--runs N] [--seconds S]: moxel-cli against the ffmpeg command
// doing the same work on the same clip, a generated 1280x720 H.264 + AAC
// clip of S seconds (20) at 30 fps:
//   raw       RGB3 + PCM            vs  -f rawvideo -pix_fmt bgr0 (+ s16le PCM)
//   resized   area average          vs  scale=W:H:flags=area
// A KMF frame holds at most 524288 bytes of picture, so an uncompressed
// picture cannot be 1280x720 or 640x360: the two raw cases make 512x288
// (the largest 16:9 size that fits), by nearest pixel and by area average.
//   vp8       640x360 VP8 + MP3     vs  libvpx + libmp3lame, the plug-in's settings
//   h264      640x360 H.264 + MP3   vs  libx264 + libmp3lame, the plug-in's settings
// Raw outputs go to /dev/null on both sides, so the disk is not measured.
// Each pair runs N times (1) alternately; the best wall time and the highest
// peak memory (maximum resident set) of each side are printed with the
// ratios moxel-cli / ffmpeg.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Measure {
    double seconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

// Runs argv with standard output and error sent to the log file.
Measure runCommand(const std::vector<std::string>& args, const std::string& log)
{
    Measure m;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        FILE* out = std::fopen(log.c_str(), "a");
        if (out) {
            dup2(fileno(out), 1);
            dup2(fileno(out), 2);
        }
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0)
        return m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKiB = usage.ru_maxrss;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::trunc) << text;
}

// A profile: processing keys, then the codec section and the plug-in's.
std::string profile(const std::string& path, const std::string& processing, const char* vidfmt,
                    const char* audfmt)
{
    writeText(path, "[kmfencpp]\nfriendly_name=bench\nout_srate=44100\nout_channels=2\n"
                    "sizefix=0\ndeinterlace=0\noutfruse=0\nlowpass=1\n"
                    "audioscale=1.000\n" +
                        processing + "[kmfconfig]\naudfmt=" + audfmt + "\nvidfmt=" + vidfmt +
                        "\nminsync=0\nmaxsync=120\naudiosendahead=0\nhdrwrite=1\nhdrtoc=1024\n"
                        "[kmf_coder_av]\nvideo_bitrate=800\nkeyint=60\nspeed=5\n"
                        "audio_bitrate=128\n");
    return path;
}

struct Case {
    const char* name;
    std::vector<std::string> moxel;
    std::vector<std::string> ffmpeg;
};

} // namespace

int main(int argc, char** argv)
{
    int runs = 1;
    int seconds = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(1, std::atoi(argv[i + 1]));
    }

    char folderTemplate[] = "/tmp/moxel-bench-cli-XXXXXX";
    if (!mkdtemp(folderTemplate)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = folderTemplate;
    const std::string log = dir + "/commands.log";
    const std::string clip = dir + "/clip.mp4";
    std::printf("Generating a %d s 1280x720 H.264 + AAC clip at 30 fps...\n", seconds);
    const Measure made = runCommand({"ffmpeg",    "-y",
                                     "-loglevel", "error",
                                     "-f",        "lavfi",
                                     "-i",        "testsrc2=size=1280x720:rate=30",
                                     "-f",        "lavfi",
                                     "-i",        "sine=frequency=440:sample_rate=44100",
                                     "-t",        std::to_string(seconds),
                                     "-c:v",      "libx264",
                                     "-preset",   "veryfast",
                                     "-pix_fmt",  "yuv420p",
                                     "-c:a",      "aac",
                                     "-ac",       "2",
                                     "-b:a",      "128k",
                                     clip},
                                    log);
    if (!made.ok) {
        std::fprintf(stderr, "could not make the clip (is the ffmpeg command installed?); see %s\n",
                     log.c_str());
        return 1;
    }

    // Written beside the clip: each job writes its profile's codec section back.
    const char* rgb3 = "859981650";
    const char* pcm = "541934416";
    const char* vp80 = "808996950";
    const char* h264 = "875967048";
    const char* mp3 = "540233805";
    const std::string raw = profile(
        dir + "/raw.pf", "doresize=1\nresizew=512\nresizeh=288\nfilteringresize=0\n", rgb3, pcm);
    const std::string resized =
        profile(dir + "/resized.pf", "doresize=1\nresizew=512\nresizeh=288\nfilteringresize=1\n",
                rgb3, pcm);
    const std::string vp8 = profile(
        dir + "/vp8.pf", "doresize=1\nresizew=640\nresizeh=360\nfilteringresize=1\n", vp80, mp3);
    const std::string x264 = profile(
        dir + "/h264.pf", "doresize=1\nresizew=640\nresizeh=360\nfilteringresize=1\n", h264, mp3);

    const std::vector<std::string> ff = {"ffmpeg",   "-y", "-loglevel", "error",
                                         "-nostdin", "-i", clip};
    auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<std::string> pcmOut = {"-map", "0:a", "-f",    "s16le",    "-ac",
                                             "2",    "-ar", "44100", "/dev/null"};
    const std::vector<std::string> mp3Out = {"-c:a", "libmp3lame", "-b:a", "128k",
                                             "-ar",  "44100",      "-ac",  "2"};
    const std::vector<Case> cases = {
        {"RGB3 + PCM 512x288",
         {MOXEL_CLI_PATH, "--overwrite", "-p", raw, "-o", "/dev/null", clip},
         with(with(ff, {"-map", "0:v", "-vf", "scale=512:288:flags=neighbor", "-f", "rawvideo",
                        "-pix_fmt", "bgr0", "/dev/null"}),
              pcmOut)},
        {"area average 512x288",
         {MOXEL_CLI_PATH, "--overwrite", "-p", resized, "-o", "/dev/null", clip},
         with(with(ff, {"-map", "0:v", "-vf", "scale=512:288:flags=area", "-f", "rawvideo",
                        "-pix_fmt", "bgr0", "/dev/null"}),
              pcmOut)},
        {"VP8 640x360 + MP3",
         {MOXEL_CLI_PATH, "--overwrite", "-p", vp8, "-o", dir + "/vp8.kmf", clip},
         with(with(ff, {"-vf",
                        "scale=640:360:flags=area",
                        "-c:v",
                        "libvpx",
                        "-deadline",
                        "realtime",
                        "-cpu-used",
                        "9",
                        "-lag-in-frames",
                        "0",
                        "-auto-alt-ref",
                        "0",
                        "-max-intra-rate",
                        "900",
                        "-b:v",
                        "800k",
                        "-maxrate",
                        "1200k",
                        "-bufsize",
                        "800k",
                        "-g",
                        "60",
                        "-threads",
                        "0"}),
              with(mp3Out, {"-f", "matroska", dir + "/vp8.mkv"}))},
        {"H.264 640x360 + MP3",
         {MOXEL_CLI_PATH, "--overwrite", "-p", x264, "-o", dir + "/h264.kmf", clip},
         with(with(ff, {"-vf",          "scale=640:360:flags=area",
                        "-c:v",         "libx264",
                        "-preset",      "faster",
                        "-tune",        "zerolatency",
                        "-x264-params", "scenecut=0",
                        "-b:v",         "800k",
                        "-maxrate",     "1200k",
                        "-bufsize",     "800k",
                        "-g",           "60",
                        "-bf",          "0",
                        "-threads",     "0"}),
              with(mp3Out, {"-f", "matroska", dir + "/h264.mkv"}))},
    };

    std::printf("%-22s %12s %12s %7s %14s %14s %7s\n", "case", "moxel-cli s", "ffmpeg s", "ratio",
                "moxel-cli KiB", "ffmpeg KiB", "ratio");
    bool allOk = true;
    for (const Case& c : cases) {
        Measure best[2];
        best[0].seconds = best[1].seconds = 1e30;
        bool ok = true;
        for (int r = 0; r < runs; ++r)
            for (int side = 0; side < 2; ++side) {
                const Measure m = runCommand(side == 0 ? c.moxel : c.ffmpeg, log);
                ok = ok && m.ok;
                best[side].seconds = std::min(best[side].seconds, m.seconds);
                best[side].peakKiB = std::max(best[side].peakKiB, m.peakKiB);
            }
        allOk = allOk && ok;
        std::printf("%-22s %12.2f %12.2f %7.2f %14ld %14ld %7.2f%s\n", c.name, best[0].seconds,
                    best[1].seconds, best[0].seconds / best[1].seconds, best[0].peakKiB,
                    best[1].peakKiB, double(best[0].peakKiB) / double(best[1].peakKiB),
                    ok ? "" : "  (a command failed; see the log)");
        std::fflush(stdout);
    }
    if (!allOk) {
        std::printf("commands' output: %s\n", log.c_str());
        return 1;
    }
    std::filesystem::remove_all(dir);
    return 0;
}
