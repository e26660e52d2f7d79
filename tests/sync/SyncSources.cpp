#include "SyncSources.h"

#include "cli/CliProcess.h"

#include <cstdio>
#include <filesystem>

namespace moxel::test {
namespace {

using Options = std::vector<std::string>;

const Options kH264 = {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"};
const Options kMpeg4 = {"-c:v", "mpeg4", "-q:v", "3"};
const Options kAac = {"-c:a", "aac", "-b:a", "96k"};
const Options kMp3 = {"-c:a", "libmp3lame", "-b:a", "96k"};

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// White over the whole picture on the slot at each event (t within half a
// millisecond of an even second, from 1 s on).
std::string flashFilter()
{
    return "drawbox=x=0:y=0:w=iw:h=ih:color=white:t=fill:"
           "enable='gte(t,1)*lt(mod(t+0.0005,2),0.001)'";
}

std::string colour(int fps, double seconds)
{
    return "color=c=0x101010:s=160x120:r=" + std::to_string(fps) + ":d=" + number(seconds);
}

std::string pictureChain(const SyncSource& s)
{
    std::string chain;
    if (s.laterFps > 0) {
        // Two runs at their own rates on one time base, then joined.
        const std::string base = "settb=1/" + std::to_string(s.laterFps);
        chain = colour(s.fps, kSyncRateChangeSeconds) + "," + base + "[early];" +
                colour(s.laterFps, kSyncClipSeconds - kSyncRateChangeSeconds) + "," + base +
                "[late];[early][late]concat=n=2:v=1:a=0," + flashFilter();
    } else {
        chain = colour(s.fps, kSyncClipSeconds) + "," + flashFilter();
    }
    if (s.picturesFrom > 0.0)
        chain += ",trim=start=" + number(s.picturesFrom); // keeps the pictures' times
    return chain;
}

std::string soundChain(const SyncSource& s)
{
    const std::string beep = "if(gte(t,1)*lt(mod(t,2)," + number(kSyncBeepSeconds) + ")," +
                             number(kSyncBeepAmplitude) + "*sin(2*PI*1000*t),0)";
    // 10 ms blocks, so that trims and holes fall where they are asked for.
    std::string chain = "aevalsrc='" + beep + "':s=" + std::to_string(s.sampleRate) +
                        ":c=" + (s.channels == 2 ? "stereo" : "mono") +
                        ":n=" + std::to_string(s.sampleRate / 100) +
                        ":d=" + number(kSyncClipSeconds);
    if (s.soundFrom > 0.0)
        chain += ",atrim=start=" + number(s.soundFrom);
    if (s.gapTo > 0.0) // dropped blocks leave a hole in the timestamps
        chain +=
            ",aselect='not(between(t," + number(s.gapFrom) + "," + number(s.gapTo - 0.005) + "))'";
    return chain;
}

} // namespace

std::vector<double> syncEventTimes()
{
    return {2.0, 4.0, 6.0, 8.0};
}

const std::vector<SyncSource>& syncSources()
{
    auto with = [](Options a, const Options& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    static const std::vector<SyncSource> sources = {
        // H.264 with B-pictures (stored out of order) and AAC, both starting at 0.
        {"mp4", "flash.mp4", 25, 0, 0.0, 0.0, 0.0, 0.0, 44100, 2, kH264, kAac},
        // The sound starts half a second after the pictures.
        {"ts_late_sound", "late-sound.ts", 30, 0, 0.0, 0.5, 0.0, 0.0, 44100, 1, kMpeg4, kMp3},
        // The pictures start a second after the sound.
        {"ts_late_pictures", "late-pictures.ts", 30, 0, 1.0, 0.0, 0.0, 0.0, 48000, 2, kH264, kAac},
        // 10 pictures a second, then 30; a second of the sound is missing.
        {"mkv_vfr_gap",
         "vfr-gap.mkv",
         10,
         30,
         0.0,
         0.0,
         2.5,
         3.5,
         44100,
         1,
         with(kH264, {"-fps_mode", "vfr", "-r", "30"}),
         {"-c:a", "flac"}},
        // The movie source.
        {"mov", "flash.mov", 25, 0, 0.0, 0.0, 0.0, 0.0, 44100, 2, kMpeg4, kAac},
        // Sound files, one per format.
        {"mp3", "beeps.mp3", 0, 0, 0.0, 0.0, 0.0, 0.0, 44100, 2, {}, kMp3},
        {"m4a_aac", "beeps.m4a", 0, 0, 0.0, 0.0, 0.0, 0.0, 48000, 2, {}, kAac},
        {"wav", "beeps.wav", 0, 0, 0.0, 0.0, 0.0, 0.0, 22050, 1, {}, {"-c:a", "pcm_s16le"}},
        {"flac", "beeps.flac", 0, 0, 0.0, 0.0, 0.0, 0.0, 44100, 2, {}, {"-c:a", "flac"}},
        {"ogg_vorbis", "beeps.ogg", 0, 0, 0.0, 0.0, 0.0, 0.0, 44100, 2, {}, {"-c:a", "libvorbis"}},
    };
    return sources;
}

std::vector<std::string> syncClipArguments(const SyncSource& source, const std::string& path)
{
    std::string graph;
    if (source.hasPictures())
        graph = pictureChain(source) + "[out0];" + soundChain(source) + "[out1]";
    else
        graph = soundChain(source) + "[out0]";
    Options args = {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", graph};
    args.insert(args.end(), source.videoOptions.begin(), source.videoOptions.end());
    args.insert(args.end(), source.audioOptions.begin(), source.audioOptions.end());
    args.push_back(path);
    return args;
}

std::string writeSyncClip(const SyncSource& source, const std::string& folder, std::string* error)
{
    const std::string program = MOXEL_FFMPEG_PATH;
    if (program.empty()) {
        *error = "no ffmpeg program was found when the tests were configured";
        return {};
    }
    const std::string path = (std::filesystem::path(folder) / source.file).string();
    const CliResult r = CliProcess(folder, syncClipArguments(source, path), program).finish();
    if (r.exitStatus != 0 || !std::filesystem::exists(path)) {
        *error = "ffmpeg could not write " + source.file + ":\n" + r.err;
        return {};
    }
    return path;
}

} // namespace moxel::test
