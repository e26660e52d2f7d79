#include "GoldenJobs.h"

#include "container/FourCC.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace moxel::test {
namespace {

std::string code(const char (&fourCC)[5])
{
    return std::to_string(makeFourCC(fourCC));
}

const std::string kNone = code("NONE");
const std::string kRgb3 = code("RGB3");
const std::string kPcm = code("PCM ");

// Crop that leaves 142 x 110 of the 160 x 120 clip, off centre.
const ProfileKeys kCrop = {{"crop_l", "8"}, {"crop_t", "6"}, {"crop_r", "10"}, {"crop_b", "4"}};

ProfileKeys resize(int width, int height, bool filtering = true)
{
    return {{"doresize", "1"},
            {"resizew", std::to_string(width)},
            {"resizeh", std::to_string(height)},
            {"filteringresize", filtering ? "1" : "0"}};
}

ProfileKeys operator+(ProfileKeys a, const ProfileKeys& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

ProfileKeys codecs(const char (&video)[5], const char (&audio)[5], int speed = 5)
{
    return {{"vidfmt", code(video)}, {"audfmt", code(audio)},          {"video_bitrate", "300"},
            {"keyint", "10"},        {"speed", std::to_string(speed)}, {"audio_bitrate", "96"}};
}

// The base profile: uncompressed pictures at the source's size and 44.1 kHz
// stereo PCM, a header with a table of contents. Keys in the order the
// program saves them, each in its section.
const std::vector<std::pair<std::string, ProfileKeys>> kBaseProfile = {
    {"kmfencpp",
     {{"out_srate", "44100"},
      {"out_channels", "2"},
      {"sizefix", "0"},
      {"deinterlace", "0"},
      {"filteringresize", "1"},
      {"doresize", "0"},
      {"resizew", "320"},
      {"resizeh", "240"},
      {"crop_l", "0"},
      {"crop_t", "0"},
      {"crop_r", "0"},
      {"crop_b", "0"},
      {"outfruse", "0"},
      {"lowpass", "0"},
      {"friendly_name", "golden"},
      {"audioscale", "1.000"},
      {"outfror", "30.0000000"}}},
    {"kmfconfig",
     {{"audfmt", kPcm},
      {"vidfmt", kRgb3},
      {"minsync", "0"},
      {"maxsync", "30"},
      {"audiosendahead", "0"},
      {"hdrwrite", "1"},
      {"hdrtoc", "1024"},
      {"meta", ""}}},
    {"kmf_coder_av",
     {{"video_bitrate", "800"}, {"keyint", "60"}, {"speed", "5"}, {"audio_bitrate", "128"}}},
};

} // namespace

const std::vector<GoldenJob>& goldenJobs()
{
    static const std::vector<GoldenJob> jobs = {
        // Picture sizes and every resize path.
        {"rgb_pcm_160x120_copy", "clip.avi", {}},
        {"rgb_pcm_320x240_bilinear", "clip.avi", resize(320, 240)},
        {"rgb_pcm_157x97_area", "clip.avi", resize(157, 97)},
        {"rgb_pcm_96x72_area", "clip.avi", resize(96, 72)},
        {"rgb_pcm_240x90_area_mixed", "clip.avi", resize(240, 90)},
        {"rgb_16x12_area_wide", "big.avi", resize(16, 12)},
        {"rgb_pcm_120x90_nearest", "clip.avi", resize(120, 90, false)},
        {"rgb_pcm_232x176_nearest_up", "clip.avi", resize(232, 176, false)},
        {"rgb_pcm_150x100_sizefix", "clip.avi", resize(150, 100) + ProfileKeys{{"sizefix", "1"}}},
        {"rgb_pcm_176x144_mkv_copy", "clip30.mkv", {}},
        // Both deinterlace modes, with and without a resize behind them.
        {"deint_hq_copy", "clip.avi", {{"deinterlace", "1"}}},
        {"deint_hq_area", "clip.avi", ProfileKeys{{"deinterlace", "1"}} + resize(96, 72)},
        {"deint_plain_copy", "clip.avi", {{"deinterlace", "2"}}},
        {"deint_plain_bilinear", "clip.avi", ProfileKeys{{"deinterlace", "2"}} + resize(200, 150)},
        // Crop alone and before each resize path.
        {"crop_copy", "clip.avi", kCrop},
        {"crop_bilinear", "clip.avi", kCrop + resize(284, 220)},
        {"crop_area", "clip.avi", kCrop + resize(71, 55)},
        {"crop_nearest", "clip.avi", kCrop + resize(100, 130, false)},
        {"crop_deint_hq", "clip.avi", kCrop + ProfileKeys{{"deinterlace", "1"}}},
        // Frame-rate conversion: dropping and repeating pictures.
        {"fps_25_to_12_5_drop", "clip.avi", {{"outfruse", "1"}, {"outfror", "12.5000000"}}},
        {"fps_25_to_30_repeat", "clip.avi", {{"outfruse", "1"}, {"outfror", "30.0000000"}}},
        {"fps_25_to_29_97_repeat", "clip.avi", {{"outfruse", "1"}, {"outfror", "29.9700000"}}},
        {"fps_30_to_24_drop", "clip30.mkv", {{"outfruse", "1"}, {"outfror", "24.0000000"}}},
        // Sound: resampling, channels, volume and low-pass.
        {"audio_22050", "clip.avi", {{"out_srate", "22050"}}},
        {"audio_22050_lowpass", "clip.avi", {{"out_srate", "22050"}, {"lowpass", "1"}}},
        {"audio_11025_mono_lowpass",
         "clip.avi",
         {{"out_srate", "11025"}, {"out_channels", "1"}, {"lowpass", "1"}}},
        {"audio_48000_up", "clip.avi", {{"out_srate", "48000"}, {"lowpass", "1"}}},
        {"audio_stereo_to_mono", "clip.avi", {{"out_channels", "1"}}},
        {"audio_mono_48000_to_stereo", "clip30.mkv", {}},
        {"audio_volume_half", "clip.avi", {{"audioscale", "0.500"}}},
        {"audio_volume_clipped", "clip.avi", {{"audioscale", "3.000"}}},
        {"audio_volume_lowpass_32000",
         "clip.avi",
         {{"audioscale", "0.750"}, {"lowpass", "1"}, {"out_srate", "32000"}}},
        // Audio send-ahead, both ways.
        {"sendahead_500", "clip.avi", {{"audiosendahead", "500"}}},
        {"sendahead_minus_200", "clip.avi", {{"audiosendahead", "4294967096"}}},
        // File header and table of contents; sync-frame intervals.
        {"no_header", "clip.avi", {{"hdrwrite", "0"}}},
        {"header_without_toc", "clip.avi", {{"hdrtoc", "0"}}},
        {"header_toc_16_meta", "clip.avi", {{"hdrtoc", "16"}, {"meta", "golden clip"}}},
        {"h264_aac_keyint_60_maxsync_4", "clip.avi",
         codecs("H264", "AAC ") + ProfileKeys{{"keyint", "60"}, {"maxsync", "4"}}},
        {"sync_at_least_10", "clip.avi", {{"minsync", "10"}, {"maxsync", "12"}}},
        // One stream only, in the output or in the source.
        {"video_only_out", "clip.avi", {{"audfmt", kNone}}},
        {"audio_only_out", "clip.avi", {{"vidfmt", kNone}}},
        {"wav_source_mono_11025", "tone.wav", {{"out_srate", "11025"}, {"out_channels", "1"}}},
        {"video_only_source", "big.avi", resize(160, 120)},
        // The movie source and its own frame-rate conversion.
        {"mov_copy", "clip.mov", {}},
        {"mov_fps_25_to_15_area", "clip.mov",
         resize(80, 60) + ProfileKeys{{"outfruse", "1"}, {"outfror", "15.0000000"}}},
        {"mov_fps_25_to_40_audio_22050",
         "clip.mov",
         {{"outfruse", "1"}, {"outfror", "40.0000000"}, {"out_srate", "22050"}}},
        // Compressed through the codec plug-in (one encoder thread at these
        // sizes). No VP8: in its real-time mode the encoder picks its speed
        // from the time each picture took, so its output follows the load
        // of the machine.
        {"h264_aac", "clip.avi", codecs("H264", "AAC ")},
        {"h264_mp3_speed8", "clip.avi", codecs("H264", "MP3 ", 8)},
        {"mpeg4_mp3", "clip.avi", codecs("XVID", "MP3 ")},
        {"mpeg4_aac_speed1", "clip.avi", codecs("XVID", "AAC ", 1)},
    };
    return jobs;
}

ClipSpec goldenSourceSpec(const std::string& source)
{
    ClipSpec spec;
    spec.videoCodec = "rawvideo";
    spec.audioCodec = "pcm_s16le";
    spec.draw = drawGoldenPicture;
    if (source == "clip30.mkv") {
        spec.videoCodec = "ffv1";
        spec.width = 176;
        spec.height = 144;
        spec.fpsNum = 30;
        spec.frameCount = 30;
        spec.sampleRate = 48000;
        spec.channels = 1;
        spec.toneHz = 1000.0;
    } else if (source == "big.avi") {
        spec.width = 320;
        spec.height = 240;
        spec.frameCount = 10;
        spec.audioCodec.clear();
    } else if (source == "tone.wav") {
        spec.videoCodec.clear();
        spec.sampleRate = 22050;
        spec.audioSeconds = 1.0;
        spec.toneHz = 300.0;
    }
    return spec; // clip.avi, clip.mov: 160 x 120 at 25 fps, one second, 44.1 kHz stereo
}

std::vector<std::string> goldenSourceNames()
{
    return {"clip.avi", "clip.mov", "clip30.mkv", "big.avi", "tone.wav"};
}

std::string goldenProfileText(const GoldenJob& job)
{
    std::vector<std::pair<std::string, ProfileKeys>> sections = kBaseProfile;
    for (const auto& [key, value] : job.keys) {
        bool known = false;
        for (auto& section : sections)
            for (auto& entry : section.second)
                if (entry.first == key) {
                    entry.second = value;
                    known = true;
                }
        if (!known)
            throw std::invalid_argument("job " + job.name + ": no profile key " + key);
    }
    std::string text;
    for (const auto& [name, keys] : sections) {
        text += "[" + name + "]\r\n";
        for (const auto& [key, value] : keys)
            text += key + "=" + value + "\r\n";
    }
    return text;
}

void drawGoldenPicture(uint8_t* bgra, int width, int height, int frameNumber)
{
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bgra + (size_t(y) * width + x) * 4;
            uint32_t noise = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^
                             uint32_t(frameNumber) * 83492791u;
            noise ^= noise >> 13;
            noise *= 0x5bd1e995u;
            noise ^= noise >> 15;
            p[0] = uint8_t(x * 255 / std::max(1, width - 1) + frameNumber * 3);
            p[1] = uint8_t(y * 200 / std::max(1, height - 1) + (y % 2 ? 48 : 0) + frameNumber);
            p[2] = uint8_t(noise);
            p[3] = 255;
        }
    }
}

} // namespace moxel::test
