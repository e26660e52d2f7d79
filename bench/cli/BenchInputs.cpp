#include "bench/cli/BenchInputs.h"

#include "bench/cli/CommandRun.h"

#include <cstdint>
#include <fstream>

namespace moxel::bench {
namespace {

std::string fourCCNumber(const char* code)
{
    uint32_t value = 0;
    for (int i = 0; i < 4 && code[i] != '\0'; ++i)
        value |= uint32_t(uint8_t(code[i])) << (8 * i);
    return std::to_string(value);
}

} // namespace

bool makeClip(const std::string& path, int width, int height, int seconds, const std::string& log)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    return runCommand({"ffmpeg",
                       "-y",
                       "-loglevel",
                       "error",
                       "-nostdin",
                       "-f",
                       "lavfi",
                       "-i",
                       "testsrc2=size=" + size + ":rate=30",
                       "-f",
                       "lavfi",
                       "-i",
                       "sine=frequency=440:sample_rate=44100",
                       "-t",
                       std::to_string(seconds),
                       "-c:v",
                       "libx264",
                       "-preset",
                       "veryfast",
                       "-pix_fmt",
                       "yuv420p",
                       "-c:a",
                       "aac",
                       "-ac",
                       "2",
                       "-b:a",
                       "128k",
                       path},
                      log)
        .ok;
}

bool cutClip(const std::string& from, const std::string& path, int seconds, const std::string& log)
{
    return runCommand({"ffmpeg", "-y", "-loglevel", "error", "-nostdin", "-i", from, "-t",
                       std::to_string(seconds), "-c", "copy", path},
                      log)
        .ok;
}

std::string writeProfile(const std::string& path, const ProfileSpec& spec)
{
    std::ofstream out(path, std::ios::trunc);
    out << "[kmfencpp]\nfriendly_name=bench\nout_srate=44100\nout_channels=2\n"
        << "sizefix=0\ndeinterlace=0\naudioscale=1.000\noutfror=30.0000000\n"
        << "outfruse=" << (spec.outputRate ? 1 : 0) << "\nlowpass=" << (spec.lowPass ? 1 : 0)
        << "\ndoresize=1\nresizew=" << spec.width << "\nresizeh=" << spec.height
        << "\nfilteringresize=" << (spec.filtered ? 1 : 0) << "\n"
        << "[kmfconfig]\naudfmt=" << fourCCNumber(spec.audio)
        << "\nvidfmt=" << fourCCNumber(spec.video)
        << "\nminsync=0\nmaxsync=120\naudiosendahead=0\nhdrwrite=1\nhdrtoc=1024\n";
    if (spec.videoKbps > 0)
        out << "[kmf_coder_av]\nvideo_bitrate=" << spec.videoKbps << "\nkeyint=" << spec.keyint
            << "\nspeed=" << spec.speed << "\naudio_bitrate=" << spec.audioKbps << "\n";
    return path;
}

} // namespace moxel::bench
