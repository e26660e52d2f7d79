// The plug-in's settings in the profile file, and the bundled sample
// profile that uses them.
#include "plugins/av/AvCoderSettings.h"

#include "plugins/av/AvFormats.h"
#include "plugins/av/AvVideoCoder.h"
#include "profiles/IniFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace moxel;
using namespace moxel::av;
using namespace moxel::test;

namespace {

struct SettingsCase {
    const char* what;
    const char* fileText; // null: no file at all
    AvCoderSettings expected;
};

bool same(const AvCoderSettings& a, const AvCoderSettings& b)
{
    return a.videoBitrateKbps == b.videoBitrateKbps && a.keyint == b.keyint && a.speed == b.speed &&
           a.audioBitrateKbps == b.audioBitrateKbps;
}

} // namespace

TEST(AvCoderSettings, ReadFromTheProfileWithDefaultsAndLimits)
{
    const AvCoderSettings defaults;
    const SettingsCase cases[] = {
        {"no file", nullptr, defaults},
        {"no section", "[kmfencpp]\r\nfriendly_name=x\r\n", defaults},
        {"all keys",
         "[kmf_coder_av]\r\nvideo_bitrate=1500\r\nkeyint=12\r\nspeed=0\r\naudio_bitrate=96\r\n",
         {1500, 12, 0, 96}},
        {"some keys, any letter case", "[KMF_Coder_AV]\r\nKeyInt=30\r\n", {800, 30, 5, 128}},
        {"below the limits",
         "[kmf_coder_av]\r\nvideo_bitrate=5\r\nkeyint=0\r\nspeed=-1\r\n"
         "audio_bitrate=4294967196\r\n",
         {32, 1, 0, 32}},
        {"above the limits",
         "[kmf_coder_av]\r\nvideo_bitrate=999999\r\nkeyint=5000\r\nspeed=9\r\n"
         "audio_bitrate=1000\r\n",
         {20000, 1000, 8, 320}},
        {"another plug-in's section", "[kmf_coder_other]\r\nkeyint=3\r\n", defaults},
    };
    TempDir dir;
    for (const SettingsCase& c : cases) {
        const std::string path = dir.file(std::string(c.what) + ".pf");
        if (c.fileText != nullptr)
            writeFileText(path, c.fileText);
        const AvCoderSettings s = AvCoderSettings::load(path.c_str());
        EXPECT_TRUE(same(s, c.expected)) << c.what << ": " << s.videoBitrateKbps << " " << s.keyint
                                         << " " << s.speed << " " << s.audioBitrateKbps;
    }
    EXPECT_TRUE(same(AvCoderSettings::load(nullptr), defaults));
    EXPECT_TRUE(same(AvCoderSettings::load(""), defaults));
}

// The sample profile names formats of this plug-in, at a size its coders take.
TEST(AvCoderSettings, SampleStreamingProfileIsUsable)
{
    const std::string path =
        std::string(MOXEL_SOURCE_DIR) + "/profiles/samples/streaming-vp8-640x360.pf";
    ASSERT_TRUE(std::filesystem::exists(path));
    const IniFile ini = IniFile::load(path);
    const AvFormat* video = findVideoFormat(uint32_t(ini.getInt("kmfconfig", "vidfmt", 0)));
    const AvFormat* audio = findAudioFormat(uint32_t(ini.getInt("kmfconfig", "audfmt", 0)));
    ASSERT_NE(video, nullptr);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(video->fourCC, kFourCCVp8);
    EXPECT_EQ(audio->fourCC, kFourCCMp3);
    EXPECT_EQ(ini.getInt("kmfencpp", "doresize", 0), 1);
    const int width = ini.getInt("kmfencpp", "resizew", 0);
    const int height = ini.getInt("kmfencpp", "resizeh", 0);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 360);
    const AvCoderSettings s = AvCoderSettings::load(path.c_str());
    EXPECT_TRUE(same(s, AvCoderSettings{800, 60, 5, 128}));
    VideoCoder* coder = AvVideoCoder::create(*video, width, height, 30.0, s);
    EXPECT_NE(coder, nullptr);
    delete coder;
}
