#include "settings/SettingsFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace moxel;

namespace {

TEST(SettingsFile, ReadsLinesByTheRules)
{
    test::TempDir dir;
    std::string path = dir.file("s.ini");
    test::writeFileText(path,
                        "[config]\r\n\r\na=b=c\r\n[x]=1\r\nno equals here\r\nempty=\r\n=novalue\r\n"
                        "Case=upper\r\nlast=unended");
    SettingsFile s(path);
    EXPECT_FALSE(s.isDirty());
    EXPECT_EQ(s.getString("a", "-"), "b=c");
    EXPECT_EQ(s.getString("[x]", "-"), "-");
    EXPECT_EQ(s.getString("no equals here", "-"), "-");
    EXPECT_EQ(s.getString("empty", "-"), "");
    EXPECT_EQ(s.getString("", "-"), "novalue");
    EXPECT_EQ(s.getString("Case", "-"), "upper");
    EXPECT_EQ(s.getString("case", "-"), "-") << "keys compare with case";
    EXPECT_EQ(s.getString("last", "-"), "unended");
}

TEST(SettingsFile, MissingFileIsEmptyAndClean)
{
    test::TempDir dir;
    SettingsFile s(dir.file("none.ini"));
    EXPECT_EQ(s.getString("k", "dflt"), "dflt");
    EXPECT_FALSE(s.isDirty());
}

TEST(SettingsFile, LongLinesReadInPieces)
{
    test::TempDir dir;
    std::string path = dir.file("s.ini");
    // The first piece ends after 4095 characters; "b=c" starts the next.
    std::string first = "a=" + std::string(SettingsFile::kLinePieceChars - 2, 'x');
    test::writeFileText(path, first + "b=c\n");
    SettingsFile s(path);
    EXPECT_EQ(s.getString("a", "").size(), SettingsFile::kLinePieceChars - 2);
    EXPECT_EQ(s.getString("b", ""), "c");
}

TEST(SettingsFile, GetInt)
{
    struct Case {
        const char* value;
        int expected;
    };
    const Case cases[] = {{"", 5},     {"12abc", 12}, {"abc", 0},
                          {" -3", -3}, {"+4", 4},     {"4294967295", -1}};
    test::TempDir dir;
    SettingsFile s(dir.file("s.ini"));
    for (const Case& c : cases) {
        s.setString("k", c.value);
        EXPECT_EQ(s.getInt("k", 5), c.expected) << '"' << c.value << '"';
    }
    EXPECT_EQ(s.getInt("absent", 5), 5);
    s.setInt("k", -100);
    EXPECT_EQ(s.getString("k", ""), "-100");
}

TEST(SettingsFile, WritesInFirstSetOrder)
{
    test::TempDir dir;
    std::string path = dir.file("s.ini");
    {
        SettingsFile s(path);
        s.setString("zeta", "1");
        s.setString("alpha", "two words");
        s.setString("zeta", "3");
        s.setString("path", "/a/b\nc");
    }
    EXPECT_EQ(test::readFileText(path), "[config]\r\nzeta=3\r\nalpha=two words\r\npath=/a/b\r\n");
}

TEST(SettingsFile, KeysSignificantTo16Characters)
{
    test::TempDir dir;
    std::string path = dir.file("s.ini");
    const std::string longKey = "last_profile_import_dir"; // 23 characters
    {
        SettingsFile s(path);
        s.setString(longKey, "/home/u");
        EXPECT_EQ(s.getString("last_profile_imp", ""), "/home/u");
        s.setString("last_profile_impXYZ", "/other"); // same first 16: same key
        ASSERT_TRUE(s.flush());
    }
    EXPECT_EQ(test::readFileText(path), "[config]\r\nlast_profile_imp=/other\r\n");
    SettingsFile back(path);
    EXPECT_EQ(back.getString(longKey, ""), "/other");
}

TEST(SettingsFile, EveryWriteDirties)
{
    test::TempDir dir;
    std::string path = dir.file("s.ini");
    test::writeFileText(path, "[config]\nk=v\n");
    SettingsFile s(path);
    std::filesystem::remove(path);
    EXPECT_TRUE(s.flush());
    EXPECT_FALSE(std::filesystem::exists(path)) << "a clean store is not written";

    s.setString("k", "v"); // the same value again
    EXPECT_TRUE(s.isDirty());
    EXPECT_TRUE(s.flush());
    EXPECT_FALSE(s.isDirty());
    EXPECT_EQ(test::readFileText(path), "[config]\r\nk=v\r\n");
}

TEST(SettingsFile, FailedFlushStaysDirtyAndKeepsOldFile)
{
    test::TempDir dir;
    std::string folder = dir.file("sub");
    std::filesystem::create_directory(folder);
    std::string path = folder + "/s.ini";
    SettingsFile s(path);
    s.setString("k", "1");
    ASSERT_TRUE(s.flush());

    std::filesystem::remove_all(folder);
    s.setString("k", "2");
    EXPECT_FALSE(s.flush());
    EXPECT_TRUE(s.isDirty());

    // A folder where the file should be: the write fails, the folder stays.
    std::filesystem::create_directories(path);
    EXPECT_FALSE(s.flush());
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

// The worker reads prefs_priority while the Preferences dialog writes it.
TEST(SettingsFile, ConcurrentReadsAndWrites)
{
    test::TempDir dir;
    SettingsFile s(dir.file("s.ini"));
    s.setInt("prefs_priority", 0);
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            s.setString("prefs_priority",
                        i % 2 ? "-1" : "-2 and a longer text that needs a new buffer");
            s.setInt("key" + std::to_string(i % 50), i);
        }
    });
    int bad = 0;
    for (int i = 0; i < 2000; ++i) {
        int p = s.getInt("prefs_priority", 5);
        std::string text = s.getString("prefs_priority", "");
        if ((p != 0 && p != -1 && p != -2) || text.empty())
            ++bad;
    }
    writer.join();
    EXPECT_EQ(bad, 0);
}

} // namespace
