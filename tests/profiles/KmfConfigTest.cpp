#include "profiles/KmfConfig.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

using namespace moxel;

namespace {

const char* const kConfigSection = "[kmfconfig]\r\n"
                                   "audfmt=541934416\r\n"
                                   "vidfmt=859981650\r\n"
                                   "minsync=5\r\n"
                                   "maxsync=60\r\n"
                                   "audiosendahead=4294967196\r\n"
                                   "hdrwrite=1\r\n"
                                   "hdrtoc=0\r\n"
                                   "meta=\"A title\"\r\n";

KmfConfig loadedFrom(const std::string& path, const std::string& content)
{
    test::writeFileText(path, content);
    KmfConfig c(path);
    c.load();
    return c;
}

auto numbers(const KmfConfig& c)
{
    return std::tuple(c.audioFormat, c.videoFormat, c.minSyncInterval, c.maxSyncInterval,
                      c.audioSendAheadMs, c.writeHeader, c.tocEntries);
}

TEST(KmfConfig, DefaultsWithoutSection)
{
    test::TempDir dir;
    std::string path = dir.file("p.pf");
    KmfConfig c = loadedFrom(path, "[kmfencpp]\r\nfriendly_name=x\r\n");
    EXPECT_EQ(numbers(c), std::tuple(0u, 0u, 0, 120, 0, 0, 1024));
    EXPECT_EQ(c.meta, "");
}

TEST(KmfConfig, AbsentKeyKeepsCurrentValue)
{
    test::TempDir dir;
    std::string path = dir.file("p.pf");
    test::writeFileText(path, "[kmfconfig]\nmaxsync=30\n");
    KmfConfig c(path);
    c.minSyncInterval = 9;
    c.meta = "old";
    c.load();
    EXPECT_EQ(c.minSyncInterval, 9);
    EXPECT_EQ(c.maxSyncInterval, 30);
    EXPECT_EQ(c.meta, "") << "meta is replaced, also by nothing";
}

TEST(KmfConfig, LoadsAndWritesBack)
{
    test::TempDir dir;
    std::string path = dir.file("p.pf");
    KmfConfig c = loadedFrom(path, kConfigSection);
    EXPECT_EQ(numbers(c), std::tuple(541934416u, 859981650u, 5, 60, -100, 1, 0));
    EXPECT_EQ(c.meta, "\"A title\"");
    ASSERT_TRUE(c.save());
    EXPECT_EQ(test::readFileText(path), kConfigSection);
}

TEST(KmfConfig, NewSectionInKeyOrder)
{
    test::TempDir dir;
    std::string path = dir.file("p.pf");
    test::writeFileText(path, "[kmfencpp]\r\nout_srate=8000\r\n");
    KmfConfig c(path);
    c.videoFormat = 4000000000u;
    c.audioSendAheadMs = -100;
    ASSERT_TRUE(c.save());
    EXPECT_EQ(test::readFileText(path),
              "[kmfencpp]\r\nout_srate=8000\r\n[kmfconfig]\r\naudfmt=0\r\nvidfmt="
              "4000000000\r\nminsync=0\r\n"
              "maxsync=120\r\naudiosendahead=4294967196\r\nhdrwrite=0\r\nhdrtoc=1024\r\nmeta=\r\n");
    KmfConfig back(path);
    back.load();
    EXPECT_EQ(back.videoFormat, 4000000000u);
    EXPECT_EQ(back.audioSendAheadMs, -100);
}

TEST(KmfConfig, MetaCutTo32766)
{
    test::TempDir dir;
    std::string path = dir.file("p.pf");
    KmfConfig c = loadedFrom(path, "[kmfconfig]\nmeta=" + std::string(40000, 'm') + "\n");
    EXPECT_EQ(c.meta.size(), 32766u);
}

TEST(KmfConfig, ReleaseOverwritesLaterChangesOnce)
{
    test::TempDir dir;
    std::string path = dir.file("p.pf");
    KmfConfig c = loadedFrom(path, kConfigSection);
    // Someone else (the editor) changes the file meanwhile.
    test::writeFileText(path, "[kmfconfig]\r\nmaxsync=7\r\nplugin_key=1\r\n");
    ASSERT_TRUE(c.release());
    EXPECT_EQ(
        test::readFileText(path),
        "[kmfconfig]\r\nmaxsync=60\r\nplugin_key=1\r\naudfmt=541934416\r\nvidfmt=859981650\r\n"
        "minsync=5\r\naudiosendahead=4294967196\r\nhdrwrite=1\r\nhdrtoc=0\r\nmeta=\"A title\"\r\n");
    EXPECT_EQ(c.filePath(), "");
    EXPECT_EQ(c.meta, "");

    test::writeFileText(path, "changed");
    EXPECT_TRUE(c.release());
    EXPECT_TRUE(c.save());
    EXPECT_EQ(test::readFileText(path), "changed") << "a released object writes nothing";
}

TEST(KmfConfig, DestructionDoesNotWrite)
{
    test::TempDir dir;
    std::string path = dir.file("p.pf");
    {
        KmfConfig c(path);
        c.maxSyncInterval = 1;
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(KmfConfig, NoPathNothingWritten)
{
    KmfConfig c("");
    EXPECT_TRUE(c.save());
    EXPECT_TRUE(c.release());
}

} // namespace
