#include "BatchTestSupport.h"

#include "profiles/IniFile.h"
#include "profiles/KmfConfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace moxel;
using namespace moxel::test;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t fourCC(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

KmfConfig configOf(const std::string& path)
{
    KmfConfig config(path);
    config.load();
    return config;
}

TEST(ProfileStore, FirstStartCreatesTheDefaultProfileWithBuiltInFormats)
{
    ProfileFixture f;
    f.load();
    // Beside it, the ready-made profile that needs no plug-in.
    ASSERT_EQ(f.store->count(), 2);
    EXPECT_EQ(f.store->displayName(0), "(Default)");
    const std::string path = f.profilesFolder + "/(Default).pf";
    EXPECT_EQ(f.store->filePath(0), path);
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_TRUE(f.prompt.messages.empty());
    EXPECT_EQ(f.indexText(), "[config]\r\nnum_profiles=2\r\nprofile0=(Default).pf\r\n"
                             "profile1=Uncompressed: RGB 24bit 320x240 + PCM.pf\r\n");

    KmfConfig config = configOf(path);
    EXPECT_EQ(config.videoFormat, fourCC("RGB3"));
    EXPECT_EQ(config.audioFormat, fourCC("PCM "));
    EXPECT_EQ(config.maxSyncInterval, 120);

    // The next start loads it as it is.
    f.load();
    ASSERT_EQ(f.store->count(), 2);
    EXPECT_EQ(f.store->displayName(0), "(Default)");
    EXPECT_TRUE(f.prompt.messages.empty());
}

TEST(ProfileStore, DefaultProfileTakesTheCompressingPluginsFormats)
{
    ProfileFixture f;
    f.load(fs::path(KMF_CODER_AV_PATH).parent_path().string());
    ASSERT_EQ(f.store->count(), 4); // with the three ready-made profiles
    KmfConfig config = configOf(f.store->filePath(0));
    EXPECT_EQ(config.videoFormat, fourCC("VP80"));
    EXPECT_EQ(config.audioFormat, fourCC("MP3 "));
}

TEST(ProfileStore, MissingAndUnsafeIndexEntriesAreDroppedWithOneMessage)
{
    ProfileFixture f;
    f.addProfileFile("a");
    f.addProfileFile("c");
    const std::string index =
        "[config]\nnum_profiles=4\nprofile0=a.pf\nprofile2=c.pf\nprofile3=../outside.pf\n";
    f.writeIndex(index);
    f.load();
    ASSERT_EQ(f.store->count(), 2);
    EXPECT_EQ(f.store->displayName(0), "a");
    EXPECT_EQ(f.store->displayName(1), "c");
    ASSERT_EQ(f.prompt.messages.size(), 1u);
    EXPECT_EQ(f.prompt.messages[0].title, "ERROR");
    EXPECT_EQ(f.prompt.messages[0].text, "2 out of 4 profiles could not be loaded");
    // Not rewritten: the same message comes at the next start.
    EXPECT_EQ(f.indexText(), index);
}

TEST(ProfileStore, ListedFileThatIsMissingLoadsAsError)
{
    ProfileFixture f;
    f.writeIndex("[config]\nnum_profiles=1\nprofile0=gone.pf\n");
    f.load();
    ASSERT_EQ(f.store->count(), 1);
    EXPECT_EQ(f.store->displayName(0), "error");
    EXPECT_EQ(f.store->filePath(0), f.profilesFolder + "/gone.pf");
    EXPECT_TRUE(f.prompt.messages.empty());
}

TEST(ProfileStore, AtMost1024ProfilesAreRead)
{
    ProfileFixture f;
    std::string index = "[config]\nnum_profiles=5000\n";
    for (int i = 0; i < 5000; ++i)
        index += "profile" + std::to_string(i) + "=p" + std::to_string(i) + ".pf\n";
    f.writeIndex(index);
    f.load();
    EXPECT_EQ(f.store->count(), 1024);
    EXPECT_EQ(f.store->capacity(), 1024);
    EXPECT_EQ(f.store->filePath(1023), f.profilesFolder + "/p1023.pf");
    EXPECT_EQ(f.store->displayName(1024), "");
    EXPECT_EQ(f.store->filePath(-1), "");
}

TEST(ProfileStore, ShrinkingLeavesOldKeysThatLoadingIgnores)
{
    auto f = makeProfiles({"p0", "p1", "p2", "p3", "p4"});
    ASSERT_EQ(f->store->count(), 5);
    f->store->removeAt(1);
    f->store->removeAt(3);
    ASSERT_TRUE(f->store->saveIndex());
    // The index was written with LF ends; saved, every line ends with CR LF.
    const std::string text = f->indexText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
              std::count(text.begin(), text.end(), '\r'));
    EXPECT_NE(text.find("num_profiles=3\r\n"), std::string::npos);
    EXPECT_NE(text.find("profile0=p0.pf\r\nprofile1=p2.pf\r\nprofile2=p3.pf\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("profile3=p3.pf\r\nprofile4=p4.pf\r\n"), std::string::npos);

    f->load();
    ASSERT_EQ(f->store->count(), 3);
    EXPECT_EQ(f->store->displayName(2), "p3");
    EXPECT_TRUE(f->prompt.messages.empty());
}

TEST(ProfileStore, CapacityIsAPowerOfTwoThatShrinksOnlyToAQuarter)
{
    ProfileFixture f;
    f.load();
    ProfileStore& store = *f.store;
    EXPECT_EQ(store.capacity(), 4);
    store.resize(5);
    EXPECT_EQ(store.capacity(), 8);
    store.resize(4);
    EXPECT_EQ(store.capacity(), 8); // half of 8
    store.resize(2);
    EXPECT_EQ(store.capacity(), 8);
    store.resize(9);
    EXPECT_EQ(store.capacity(), 16);
    store.resize(5);
    EXPECT_EQ(store.capacity(), 16);
    store.resize(4);
    EXPECT_EQ(store.capacity(), 4);
    store.resize(1024);
    EXPECT_EQ(store.capacity(), 1024);
    EXPECT_EQ(store.count(), 2); // resizing never changes the profiles
    EXPECT_EQ(store.displayName(0), "(Default)");
}

TEST(ProfileStore, EmptyIndexBesideAnUnlistedDefaultFileAdoptsIt)
{
    ProfileFixture f;
    const std::string path = f.profilesFolder + "/(Default).pf";
    writeFileText(path, "[kmfencpp]\r\nout_srate=22050\r\n");
    f.load();
    ASSERT_EQ(f.store->count(), 2); // and a ready-made profile
    EXPECT_EQ(f.store->displayName(0), "(Default)");
    EXPECT_EQ(f.store->filePath(0), path);
    EXPECT_EQ(f.store->at(0)->outSampleRate, 22050); // the user's settings stay
    EXPECT_EQ(configOf(path).videoFormat, fourCC("RGB3"));
    EXPECT_NE(f.indexText().find("profile0=(Default).pf"), std::string::npos);
}

TEST(ProfileStore, FolderInTheWayOfTheDefaultFileGivesTheNextFreeName)
{
    ProfileFixture f;
    fs::create_directory(f.profilesFolder + "/(Default).pf");
    f.load();
    ASSERT_EQ(f.store->count(), 2); // and a ready-made profile
    EXPECT_EQ(f.store->displayName(0), "(Default) (2)");
    EXPECT_TRUE(fs::is_regular_file(f.store->filePath(0)));
}

TEST(ProfileStore, PreparedRecordGetsAFileOnlyUnderAFreeUsableName)
{
    auto f = makeProfiles({"a"});
    ProfileStore& store = *f->store;
    EncodingProfile& prepared = store.prepared();
    prepared.filePath = "kept";
    for (const char* bad : {"a", "x/y", ".", "..", ""}) {
        prepared.friendlyName = bad;
        EXPECT_FALSE(store.givePreparedFile()) << bad;
        EXPECT_EQ(prepared.filePath, "kept");
    }
    writeFileText(f->profilesFolder + "/stray.pf", "");
    prepared.friendlyName = "stray";
    EXPECT_FALSE(store.givePreparedFile());

    prepared.friendlyName = "new profile";
    ASSERT_TRUE(store.givePreparedFile());
    EXPECT_EQ(prepared.filePath, f->profilesFolder + "/new profile.pf");
    EXPECT_EQ(store.count(), 1);
    store.commitPrepared();
    EXPECT_EQ(store.count(), 2);
    EXPECT_EQ(store.displayName(1), "new profile");
}

TEST(ProfileStore, ImportedNamesThatCannotBeFileNamesBecomeImportedProfile)
{
    EXPECT_EQ(importedProfileBaseName("error"), "imported profile");
    EXPECT_EQ(importedProfileBaseName("../../x"), "imported profile");
    EXPECT_EQ(importedProfileBaseName("a/b"), "imported profile");
    EXPECT_EQ(importedProfileBaseName("."), "imported profile");
    EXPECT_EQ(importedProfileBaseName(".."), "imported profile");
    EXPECT_EQ(importedProfileBaseName("..."), "...");
    EXPECT_EQ(importedProfileBaseName("web 256k"), "web 256k");
}

TEST(ProfileStore, FreeNamesAndLookUps)
{
    auto f = makeProfiles({"new profile", "new profile (2)", "Web"});
    const ProfileStore& store = *f->store;
    EXPECT_EQ(store.chooseFreeName("new profile", "new profile", "%s (%d)"), "new profile (3)");
    EXPECT_EQ(store.chooseFreeName("copy of Web", "Web", "copy (%d) of %s"), "copy of Web");
    EXPECT_EQ(store.findExact("web"), -1);
    EXPECT_EQ(store.findIgnoringCase("web"), 2);
    f->store->swapPositions(0, 2);
    EXPECT_EQ(f->store->displayName(0), "Web");
}

} // namespace
