// The settings panels of kmf_coder_av, asked for the way the editor asks:
// through the plug-in set loaded from the program's folder.
#include "ModalDriver.h"
#include "TestPlugins.h"
#include "profiles/IniFile.h"
#include "support/TempDir.h"

#include <QSlider>
#include <QSpinBox>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace moxel;
using namespace moxel::test;

namespace {

const char* const kProfile = "[kmfencpp]\nfriendly_name=Av\n"
                             "[kmf_coder_av]\nvideo_bitrate=1500\nkeyint=30\nspeed=3\n"
                             "audio_bitrate=96\n";

int setting(const std::string& path, const char* key)
{
    return IniFile::load(path).getInt("kmf_coder_av", key, -1);
}

QSpinBox* spin(QWidget* panel, const char* name)
{
    auto* s = panel->findChild<QSpinBox*>(QString::fromLatin1(name));
    EXPECT_NE(s, nullptr) << name;
    return s;
}

} // namespace

TEST(AvPanels, OfferedForTheirOwnFormatsOnly)
{
    TempDir dir;
    std::string path = dir.file("Av.pf");
    writeProfile(path, kProfile);
    QWidget parent;
    const CodecPluginSet& plugins = programPlugins();
    for (const char* f : {"VP80", "H264", "XVID"}) {
        std::unique_ptr<QWidget> panel(plugins.configVideo(
            &parent, code(*reinterpret_cast<const char(*)[5]>(f)), path.c_str()));
        EXPECT_NE(panel, nullptr) << f;
    }
    for (const char* f : {"MP3 ", "AAC "}) {
        std::unique_ptr<QWidget> panel(plugins.configAudio(
            &parent, code(*reinterpret_cast<const char(*)[5]>(f)), path.c_str()));
        EXPECT_NE(panel, nullptr) << f;
    }
    EXPECT_EQ(plugins.configVideo(&parent, code("MP3 "), path.c_str()), nullptr);
    EXPECT_EQ(plugins.configAudio(&parent, code("VP80"), path.c_str()), nullptr);
    EXPECT_EQ(plugins.configVideo(&parent, code("RGB3"), path.c_str()), nullptr);
}

TEST(AvPanels, ShowTheFileAndHaveWrittenTheirOwnKeysWhenDestroyed)
{
    TempDir dir;
    std::string path = dir.file("Av.pf");
    writeProfile(path, kProfile + std::string("[kmfconfig]\nvidfmt=808996950\n"));
    QWidget parent;
    QWidget* video = programPlugins().configVideo(&parent, code("VP80"), path.c_str());
    QWidget* audio = programPlugins().configAudio(&parent, code("MP3 "), path.c_str());
    ASSERT_NE(video, nullptr);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(video->parentWidget(), &parent);
    EXPECT_EQ(spin(video, "videoBitrate")->value(), 1500);
    EXPECT_EQ(spin(video, "keyint")->value(), 30);
    auto* speed = video->findChild<QSlider*>("speed");
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->value(), 3);
    EXPECT_EQ(spin(audio, "audioBitrate")->value(), 96);

    // Both open at once, each changed: neither undoes the other's keys.
    spin(video, "videoBitrate")->setValue(2400);
    spin(video, "keyint")->setValue(90);
    speed->setValue(8);
    spin(audio, "audioBitrate")->setValue(192);
    delete audio;
    EXPECT_EQ(setting(path, "audio_bitrate"), 192);
    EXPECT_EQ(setting(path, "video_bitrate"), 1500); // not yet
    delete video;
    EXPECT_EQ(setting(path, "video_bitrate"), 2400);
    EXPECT_EQ(setting(path, "keyint"), 90);
    EXPECT_EQ(setting(path, "speed"), 8);
    EXPECT_EQ(setting(path, "audio_bitrate"), 192);
    EXPECT_EQ(IniFile::load(path).getInt("kmfconfig", "vidfmt", 0), 808996950);
}

TEST(AvPanels, ValuesOutOfRangeInTheFileShowAndStoreWithinTheLimits)
{
    TempDir dir;
    std::string path = dir.file("Av.pf");
    writeProfile(path, "[kmf_coder_av]\nvideo_bitrate=999999\nkeyint=0\nspeed=-4\n"
                       "audio_bitrate=5\n");
    QWidget parent;
    delete programPlugins().configVideo(&parent, code("H264"), path.c_str());
    delete programPlugins().configAudio(&parent, code("AAC "), path.c_str());
    EXPECT_EQ(setting(path, "video_bitrate"), 20000);
    EXPECT_EQ(setting(path, "keyint"), 1);
    EXPECT_EQ(setting(path, "speed"), 0);
    EXPECT_EQ(setting(path, "audio_bitrate"), 32);
}
