#include "bench/cli/BenchRows.h"

#include "bench/cli/AlternatedRuns.h"
#include "bench/cli/BenchInputs.h"
#include "bench/cli/BenchTable.h"

#include <cstdio>
#include <filesystem>

namespace moxel::bench {
namespace {

using Args = std::vector<std::string>;

constexpr int kJobClips = 20;
constexpr int kJobClipSeconds = 5;
constexpr int kShortMemorySeconds = 10;
constexpr int kLongMemorySeconds = 60;

Args operator+(Args a, const Args& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The clip at folder/name, made on first use.
std::string clip(const BenchSetup& setup, const std::string& name, int width, int height,
                 int seconds)
{
    const std::string path = setup.folder + "/" + name;
    if (std::filesystem::exists(path))
        return path;
    std::printf("making %s: %d s %dx%d H.264 + AAC...\n", name.c_str(), seconds, width, height);
    std::fflush(stdout);
    return makeClip(path, width, height, seconds, setup.log) ? path : std::string();
}

std::string mainClip(const BenchSetup& setup)
{
    return clip(setup, "clip.mp4", 1280, 720, setup.seconds);
}

Args ffmpegOn(const std::string& source)
{
    return {"ffmpeg", "-y", "-loglevel", "error", "-nostdin", "-i", source};
}

const Args kPcmOut = {"-map", "0:a", "-f", "s16le", "-ac", "2", "-ar", "44100", "/dev/null"};

// RGB3 is blue, green, red per pixel with the bottom row first.
Args rawVideoOut(const char* flags)
{
    return {
        "-map",     "0:v",      "-vf",      std::string("scale=512:288:flags=") + flags + ",vflip",
        "-f",       "rawvideo", "-pix_fmt", "bgr24",
        "/dev/null"};
}

// libvpx as the plug-in sets it up at speed 5: cpu-used 4 + speed, peak rate
// 1.5 x the rate, a buffer of one second's bits.
const Args kVp8Video = {"-vf",
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
                        "0"};
const Args kMp3Audio = {"-c:a", "libmp3lame", "-b:a", "128k", "-ar", "44100", "-ac", "2"};

ProfileSpec rawSpec(bool filtered)
{
    // No low-pass: the ffmpeg side converts the sound without filtering it.
    return {.width = 512,
            .height = 288,
            .filtered = filtered,
            .lowPass = false,
            .video = "RGB3",
            .audio = "PCM "};
}

// As the bundled streaming profile.
ProfileSpec vp8Spec()
{
    return {.width = 640,
            .height = 360,
            .outputRate = true,
            .video = "VP80",
            .audio = "MP3 ",
            .videoKbps = 800,
            .keyint = 60,
            .speed = 5,
            .audioKbps = 128};
}

bool uncompressedRow(const BenchSetup& setup, bool filtered)
{
    const std::string source = mainClip(setup);
    if (source.empty())
        return false;
    const char* name = filtered ? "area" : "nearest";
    const std::string profile = writeProfile(setup.folder + "/" + name + ".pf", rawSpec(filtered));
    const auto m =
        runAlternately({{{setup.moxelCli, "--overwrite", "-p", profile, "-o", "/dev/null", source}},
                        {ffmpegOn(source) + rawVideoOut(filtered ? "area" : "neighbor") + kPcmOut},
                        {ffmpegOn(source) + Args{"-f", "null", "-"}}},
                       setup.runs, setup.log);
    printComparison(filtered ? "uncompressed 512x288 area average"
                             : "uncompressed 512x288 nearest pixel",
                    m[0], m[1]);
    const SideSummary decode = summarize(m[2]);
    printNote("decoding alone (ffmpeg -f null) %.2f s: moxel-cli %.2fx, ffmpeg %.2fx of it",
              decode.seconds, ratio(m[0], m[2]).time, ratio(m[1], m[2]).time);
    return summarize(m[0]).ok && summarize(m[1]).ok && decode.ok;
}

bool vp8Row(const BenchSetup& setup)
{
    const std::string source = mainClip(setup);
    if (source.empty())
        return false;
    const std::string profile = writeProfile(setup.folder + "/vp8.pf", vp8Spec());
    const auto m = runAlternately(
        {{{setup.moxelCli, "--overwrite", "-p", profile, "-o", setup.folder + "/vp8.kmf", source}},
         {ffmpegOn(source) + kVp8Video + kMp3Audio +
          Args{"-f", "matroska", setup.folder + "/vp8.mkv"}}},
        setup.runs, setup.log);
    printComparison("VP8 + MP3 640x360", m[0], m[1]);
    return summarize(m[0]).ok && summarize(m[1]).ok;
}

// The bundled high-quality profile (4000 kbit/s, a key picture every 120,
// AAC at 192 kbit/s) at speed 5, which the plug-in maps to x264's "faster".
bool h264Row(const BenchSetup& setup)
{
    const std::string source = mainClip(setup);
    if (source.empty())
        return false;
    const std::string profile = writeProfile(setup.folder + "/h264.pf", {.width = 1280,
                                                                         .height = 720,
                                                                         .video = "H264",
                                                                         .audio = "AAC ",
                                                                         .videoKbps = 4000,
                                                                         .keyint = 120,
                                                                         .speed = 5,
                                                                         .audioKbps = 192});
    const Args video = {"-c:v",        "libx264",      "-preset",    "faster",   "-tune",
                        "zerolatency", "-x264-params", "scenecut=0", "-b:v",     "4000k",
                        "-maxrate",    "6000k",        "-bufsize",   "4000k",    "-g",
                        "120",         "-bf",          "0",          "-threads", "0"};
    const Args audio = {"-c:a", "aac", "-b:a", "192k", "-ar", "44100", "-ac", "2"};
    const auto m = runAlternately(
        {{{setup.moxelCli, "--overwrite", "-p", profile, "-o", setup.folder + "/h264.kmf", source}},
         {ffmpegOn(source) + video + audio + Args{"-f", "matroska", setup.folder + "/h264.mkv"}}},
        setup.runs, setup.log);
    printComparison("H.264 + AAC 1280x720 (high quality, speed 5)", m[0], m[1]);
    return summarize(m[0]).ok && summarize(m[1]).ok;
}

bool jobsRow(const BenchSetup& setup)
{
    const std::string first = clip(setup, "job01.mp4", 1280, 720, kJobClipSeconds);
    if (first.empty())
        return false;
    Args sources;
    for (int i = 1; i <= kJobClips; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/job%02d.mp4", i);
        const std::string path = setup.folder + name;
        std::error_code ec;
        if (i > 1)
            std::filesystem::copy_file(first, path,
                                       std::filesystem::copy_options::overwrite_existing, ec);
        if (ec)
            return false;
        sources.push_back(path);
    }
    const std::string profile = writeProfile(setup.folder + "/jobs.pf", vp8Spec());
    const Args moxel = {setup.moxelCli, "--overwrite", "-q", "-p", profile};
    const Args parallel = Args{"parallel", "--will-cite", "-j2"} + ffmpegOn("{}") + kVp8Video +
                          kMp3Audio + Args{"-f", "matroska", "{.}.mkv", ":::"} + sources;
    const std::string label =
        std::to_string(kJobClips) + " x " + std::to_string(kJobClipSeconds) + " s VP8 + MP3, ";

    // A moxel-cli without --jobs refuses the option before it starts any job.
    const bool hasJobs =
        runCommand(Args{setup.moxelCli, "--jobs", "2", "--dry-run", "-p", profile, first},
                   setup.log)
            .ok;
    const bool sampleTree = true;
    std::vector<Command> commands = {
        {parallel, sampleTree},
        {hasJobs ? moxel + Args{"--jobs", "1"} + sources : moxel + sources, sampleTree}};
    if (hasJobs)
        commands.push_back({moxel + Args{"--jobs", "2"} + sources, sampleTree});
    const auto m = runAlternately(commands, setup.runs, setup.log);
    bool ok = summarize(m[0]).ok && summarize(m[1]).ok;
    if (hasJobs) {
        printComparison(label + "--jobs 2 vs parallel -j2", m[2], m[0]);
        ok = ok && summarize(m[2]).ok;
    } else {
        printMissing(label + "--jobs 2 vs parallel -j2", "n/a (moxel-cli has no --jobs)");
    }
    printComparison(label + (hasJobs ? "--jobs 1" : "one by one") + " vs parallel -j2", m[1], m[0]);
    return ok;
}

bool memoryRow(const BenchSetup& setup)
{
    const std::string longClip = clip(setup, "long1080.mp4", 1920, 1080, kLongMemorySeconds);
    const std::string shortClip = setup.folder + "/short1080.mp4";
    if (longClip.empty() || !cutClip(longClip, shortClip, kShortMemorySeconds, setup.log))
        return false;
    const std::string profile = writeProfile(setup.folder + "/memory.pf", rawSpec(false));
    auto moxelOn = [&](const std::string& source) {
        return Command{{setup.moxelCli, "--overwrite", "-p", profile, "-o", "/dev/null", source}};
    };
    const auto m = runAlternately({moxelOn(longClip),
                                   moxelOn(shortClip),
                                   {ffmpegOn(longClip) + rawVideoOut("neighbor") + kPcmOut}},
                                  setup.runs, setup.log);
    printComparison("1920x1080 60 s nearest 512x288 (memory)", m[0], m[2]);
    const SideSummary longRun = summarize(m[0]);
    const SideSummary shortRun = summarize(m[1]);
    printNote("moxel-cli peak on 1080p: %.1f MiB for %d s, %.1f MiB for %d s (%.2fx)",
              mib(shortRun.peakKiB), kShortMemorySeconds, mib(longRun.peakKiB), kLongMemorySeconds,
              ratio(m[0], m[1]).memory);
    return longRun.ok && shortRun.ok && summarize(m[2]).ok;
}

} // namespace

const std::vector<std::string>& rowNames()
{
    static const std::vector<std::string> names = {"nearest", "area", "vp8",
                                                   "h264",    "jobs", "memory"};
    return names;
}

bool runRow(const std::string& name, const BenchSetup& setup)
{
    if (name == "nearest" || name == "area")
        return uncompressedRow(setup, name == "area");
    if (name == "vp8")
        return vp8Row(setup);
    if (name == "h264")
        return h264Row(setup);
    if (name == "jobs")
        return jobsRow(setup);
    if (name == "memory")
        return memoryRow(setup);
    return false;
}

} // namespace moxel::bench
