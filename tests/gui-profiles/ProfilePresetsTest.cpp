// The ready-made profiles of a fresh install.
#include "jobs/ProfilePresets.h"
#include "base/Prompt.h"
#include "jobs/ProfileStore.h"
#include "profiles/IniFile.h"
#include "profiles/KmfConfig.h"
#include "settings/SettingsFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace moxel::test {

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const char* const kStreaming = "Streaming: VP8 640x360 + MP3";
const char* const kQuality = "High quality: H264 1280x720 + AAC";
const char* const kPlain = "Uncompressed: RGB 24bit 320x240 + PCM";

constexpr uint32_t kVp8 = 0x30385056;
constexpr uint32_t kMp3 = 0x2033504d;
constexpr uint32_t kH264 = 0x34363248;
constexpr uint32_t kAac = 0x20434141;
constexpr uint32_t kRgb3 = 859981650;
constexpr uint32_t kPcm = 541934416;

class SilentPrompt : public Prompt {
  public:
    void showMessage(const std::string&, const std::string&) override { ++messages; }
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    FileExistsAnswer askFileExists(const std::string&) override { return FileExistsAnswer::No; }
    int messages = 0;
};

class PresetsTest : public ::testing::Test {
  protected:
    PresetsTest() : m_folder(m_dir.file("Profiles")) { fs::create_directory(m_folder); }

    // A store as a first start makes it: the default profile, then the presets.
    ProfileStore& firstStart(const std::string& pluginFolder)
    {
        m_index = std::make_unique<SettingsFile>(m_folder + "/index.txt");
        m_store = std::make_unique<ProfileStore>(m_folder, *m_index, pluginFolder);
        m_store->loadAll(m_prompt);
        return *m_store;
    }

    Names names() const
    {
        Names list;
        for (int i = 0; i < m_store->count(); ++i)
            list.push_back(m_store->displayName(i));
        return list;
    }

    KmfConfig configOf(const std::string& name) const
    {
        KmfConfig config(m_folder + "/" + name + ".pf");
        config.load();
        return config;
    }

    TempDir m_dir;
    std::string m_folder;
    SilentPrompt m_prompt;
    std::unique_ptr<SettingsFile> m_index;
    std::unique_ptr<ProfileStore> m_store;
};

} // namespace

TEST_F(PresetsTest, AFreshStoreWithTheAvPlugInOffersEveryPreset)
{
    ProfileStore& store = firstStart(MANAGER_PLUGIN_DIR);
    ASSERT_EQ(names(), (Names{"(Default)", kStreaming, kQuality, kPlain}));
    const EncodingProfile& streaming = *store.at(1);
    EXPECT_EQ(streaming.filePath, m_folder + "/" + kStreaming + ".pf");
    EXPECT_EQ(streaming.resizeEnabled, 1);
    EXPECT_EQ(streaming.resizeWidth, 640);
    EXPECT_EQ(streaming.resizeHeight, 360);
    EXPECT_EQ(configOf(kStreaming).videoFormat, kVp8);
    EXPECT_EQ(configOf(kStreaming).audioFormat, kMp3);
    EXPECT_EQ(store.at(2)->resizeWidth, 1280);
    EXPECT_EQ(store.at(2)->resizeHeight, 720);
    EXPECT_EQ(configOf(kQuality).videoFormat, kH264);
    EXPECT_EQ(configOf(kQuality).audioFormat, kAac);
    const IniFile quality = IniFile::load(m_folder + "/" + kQuality + ".pf");
    EXPECT_EQ(quality.getInt("kmf_coder_av", "video_bitrate", 0), 4000);
    EXPECT_EQ(quality.getInt("kmf_coder_av", "audio_bitrate", 0), 192);
    EXPECT_EQ(store.at(3)->resizeWidth, 320);
    EXPECT_EQ(configOf(kPlain).videoFormat, kRgb3);
    EXPECT_EQ(configOf(kPlain).audioFormat, kPcm);
    EXPECT_EQ(m_prompt.messages, 0);

    // They are listed: the next start loads them like any profile and adds
    // nothing.
    SettingsFile written(m_folder + "/index.txt");
    EXPECT_EQ(written.getInt("num_profiles", 0), 4);
    EXPECT_EQ(written.getString("profile3", ""), std::string(kPlain) + ".pf");
    m_store.reset();
    m_index.reset();
    firstStart(MANAGER_PLUGIN_DIR);
    EXPECT_EQ(names().size(), 4u);
    EXPECT_EQ(addProfilePresets(*m_store), 0);
    EXPECT_EQ(names().size(), 4u);
}

TEST_F(PresetsTest, EveryReadyNameIsOneTheEditorAccepts)
{
    // The editor refuses OK on a name holding a period or a slash: a ready
    // profile must not need a rename before its first edit.
    std::vector<std::string> readyNames;
    for (const ProfilePreset& preset : profilePresets())
        readyNames.emplace_back(preset.name);
    for (const auto& entry : fs::directory_iterator(MANAGER_SAMPLES_DIR))
        if (entry.path().extension() == ".pf")
            readyNames.push_back(
                IniFile::load(entry.path().string()).getString("kmfencpp", "friendly_name", "."));
    EXPECT_EQ(readyNames.size(), profilePresets().size() + 2);
    for (const std::string& name : readyNames)
        EXPECT_EQ(name.find_first_of("./\\"), std::string::npos) << name;
}

TEST_F(PresetsTest, AStoreMadeBeforeKeepsItsProfileOfTheOldName)
{
    const std::string oldName = "High quality: H.264 1280x720 + AAC";
    EncodingProfile old;
    old.filePath = m_folder + "/" + oldName + ".pf";
    old.friendlyName = oldName;
    ASSERT_TRUE(old.save());
    {
        SettingsFile index(m_folder + "/index.txt");
        index.setInt("num_profiles", 1);
        index.setString("profile0", oldName + ".pf");
    }
    firstStart(MANAGER_PLUGIN_DIR);
    EXPECT_EQ(names(), (Names{oldName}));
    EXPECT_FALSE(fs::exists(m_folder + "/" + kQuality + ".pf"));
}

TEST_F(PresetsTest, WithoutThePlugInOnlyTheUncompressedPresetIsMade)
{
    const TempDir noPlugins;
    firstStart(noPlugins.path().string());
    EXPECT_EQ(names(), (Names{"(Default)", kPlain}));
    EXPECT_FALSE(fs::exists(m_folder + "/" + kStreaming + ".pf"));
}

TEST_F(PresetsTest, AFileOfAPresetsNameIsLeftAlone)
{
    test::writeFileText(m_folder + "/" + kPlain + ".pf", "mine");
    const TempDir noPlugins;
    firstStart(noPlugins.path().string());
    EXPECT_EQ(names(), (Names{"(Default)"}));
    EXPECT_EQ(test::readFileText(m_folder + "/" + kPlain + ".pf"), "mine");
}

TEST_F(PresetsTest, PresetsOfTheBundledSampleProfilesAreTheSameProfiles)
{
    // An installed program copies the samples after making the presets; as
    // they are the same profiles, the copies are passed over.
    firstStart(MANAGER_PLUGIN_DIR);
    const std::pair<const char*, const char*> pairs[] = {{kStreaming, "streaming-vp8-640x360.pf"},
                                                         {kPlain, "uncompressed-rgb-pcm.pf"}};
    const std::pair<const char*, std::vector<const char*>> sections[] = {
        {"kmfencpp",
         {"friendly_name", "out_srate", "out_channels", "sizefix", "deinterlace", "filteringresize",
          "doresize", "resizew", "resizeh", "crop_l", "crop_t", "crop_r", "crop_b", "outfruse",
          "lowpass", "audioscale", "outfror"}},
        {"kmfconfig",
         {"audfmt", "vidfmt", "minsync", "maxsync", "audiosendahead", "hdrwrite", "hdrtoc"}},
        {"kmf_coder_av", {"video_bitrate", "keyint", "speed", "audio_bitrate"}}};
    for (const auto& [name, sampleFile] : pairs) {
        const IniFile sample = IniFile::load(std::string(MANAGER_SAMPLES_DIR "/") + sampleFile);
        const IniFile preset = IniFile::load(m_folder + "/" + name + ".pf");
        for (const auto& [section, keys] : sections)
            for (const char* key : keys)
                EXPECT_EQ(preset.getString(section, key, "?"), sample.getString(section, key, "?"))
                    << sampleFile << " " << section << " " << key;
    }
}

} // namespace moxel::test
