#include "profiles/IniFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace moxel;

namespace {

struct IntCase {
    const char* value;
    int expected;
};

// Read with the default 7.
const IntCase kIntCases[] = {
    {"123", 123},
    {"+5", 5},
    {"-5", -5},
    {"0", 0},
    {"4294967196", -100},
    {"4294967296", 0},
    {"4294967297", 1},
    {"2147483648", -2147483647 - 1},
    {"-2147483649", 2147483647},
    {"99999999999", 1215752191},
    {"12abc", 12},
    {"abc", 0},
    {"-", 0},
    {"- 5", 0},
    {"1 2", 1},
    {"  42  ", 42},
    {"", 7},
    {"   ", 7},
};

TEST(IniFileInt, ValueRules)
{
    for (const IntCase& c : kIntCases) {
        IniFile ini = IniFile::fromBytes("x.ini", std::string("[s]\r\nk=") + c.value + "\r\n");
        EXPECT_EQ(ini.getInt("s", "k", 7), c.expected) << "value \"" << c.value << "\"";
    }
}

TEST(IniFileInt, MissingFileSectionOrKeyGivesDefault)
{
    test::TempDir dir;
    EXPECT_EQ(IniFile::load(dir.file("absent.ini")).getInt("s", "k", -3), -3);
    IniFile ini = IniFile::fromBytes("x.ini", "k=1\n[s]\nother=2\n[t]\nk=3\n");
    EXPECT_EQ(ini.getInt("s", "k", -3), -3) << "a key of another section or of no section";
    EXPECT_EQ(ini.getInt("u", "k", -3), -3);
    EXPECT_EQ(ini.getInt("t", "k", -3), 3);
}

TEST(IniFile, NamesMatchWithoutCase)
{
    IniFile ini =
        IniFile::fromBytes("x.ini", "[KmfEncPP]\r\nOut_SRate=8000\r\n  Friendly_Name = A b \r\n");
    EXPECT_EQ(ini.getInt("kmfencpp", "out_srate", 0), 8000);
    EXPECT_EQ(ini.getInt("KMFENCPP", "OUT_SRATE", 0), 8000);
    EXPECT_EQ(ini.getString("kmfencpp", "friendly_name", "none"), "A b");
    EXPECT_TRUE(ini.hasKey("kmfEncpp", "OUT_srate"));
    EXPECT_FALSE(ini.hasKey("kmfencpp", "out_srat"));
}

struct TextCase {
    const char* line;
    size_t maxChars;
    const char* expected;
};

const TextCase kTextCases[] = {
    {"k=abc", 100, "abc"},       {"k = \t abc def \t", 100, "abc def"},
    {"k=a=b=c", 100, "a=b=c"},   {"k=\"quoted title\"", 100, "\"quoted title\""},
    {"k=abcdef", 3, "abc"},      {"k=", 100, ""},
    {"other=1", 100, "default"},
};

TEST(IniFileText, ValueRules)
{
    for (const TextCase& c : kTextCases) {
        IniFile ini = IniFile::fromBytes("x.ini", std::string("[s]\n") + c.line + "\n");
        EXPECT_EQ(ini.getString("s", "k", "default", c.maxChars), c.expected) << c.line;
    }
}

TEST(IniFileText, ReadsCrLfAndLfAlike)
{
    IniFile crlf = IniFile::fromBytes("x.ini", "[s]\r\na=1\r\nb=two\r\n");
    IniFile lf = IniFile::fromBytes("x.ini", "[s]\na=1\nb=two");
    for (const IniFile* ini : {&crlf, &lf}) {
        EXPECT_EQ(ini->getInt("s", "a", 0), 1);
        EXPECT_EQ(ini->getString("s", "b", ""), "two");
    }
}

struct WriteCase {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

const WriteCase kWriteCases[] = {
    {"existing key in place", "[s]\r\na=1\r\nb=2\r\nc=3\r\n", "s", "b", "20",
     "[s]\r\na=1\r\nb=20\r\nc=3\r\n"},
    {"key keeps its spelling", "[S]\r\n  Key = old \r\n", "s", "key", "new",
     "[S]\r\n  Key =new\r\n"},
    {"new key at end of its section", "[s]\r\na=1\r\n\r\n[t]\r\nx=9\r\n", "s", "b", "2",
     "[s]\r\na=1\r\nb=2\r\n\r\n[t]\r\nx=9\r\n"},
    {"new key in the last section", "[s]\r\na=1\r\n[t]\r\nx=9\r\n", "t", "y", "8",
     "[s]\r\na=1\r\n[t]\r\nx=9\r\ny=8\r\n"},
    {"new section at end of file", "[s]\r\na=1\r\n", "t", "x", "9", "[s]\r\na=1\r\n[t]\r\nx=9\r\n"},
    {"empty file", "", "s", "a", "1", "[s]\r\na=1\r\n"},
    {"last line without an end", "[s]\r\na=1", "s", "b", "2", "[s]\r\na=1\r\nb=2\r\n"},
    {"other lines and LF ends kept", "; note\n[s]\nnot a key\na=1\n[p]\n  odd = line \n", "s", "a",
     "5", "; note\n[s]\nnot a key\na=5\r\n[p]\n  odd = line \n"},
    {"same key in another section untouched", "[t]\r\na=1\r\n[s]\r\na=2\r\n", "s", "a", "3",
     "[t]\r\na=1\r\n[s]\r\na=3\r\n"},
    {"line break in a value cut", "[s]\r\n", "s", "a", "one\r\n[evil]\r\nx=1", "[s]\r\na=one\r\n"},
};

TEST(IniFileWrite, LinesChangeOnlyWhereWritten)
{
    for (const WriteCase& c : kWriteCases) {
        IniFile ini = IniFile::fromBytes("x.ini", c.before);
        ini.setString(c.section, c.key, c.value);
        EXPECT_EQ(ini.bytes(), c.after) << c.name;
    }
}

TEST(IniFileWrite, SaveCreatesAndReplacesTheFile)
{
    test::TempDir dir;
    std::string path = dir.file("p.pf");
    IniFile ini = IniFile::load(path);
    EXPECT_EQ(ini.path(), path);
    ini.setString("s", "a", "1");
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(test::readFileText(path), "[s]\r\na=1\r\n");

    IniFile again = IniFile::load(path);
    again.setString("s", "a", "2");
    ASSERT_TRUE(again.save());
    EXPECT_EQ(test::readFileText(path), "[s]\r\na=2\r\n");
}

TEST(IniFileWrite, SaveIntoMissingFolderFails)
{
    test::TempDir dir;
    IniFile ini(dir.file("gone/p.pf"));
    ini.setString("s", "a", "1");
    EXPECT_FALSE(ini.save());
    EXPECT_FALSE(std::filesystem::exists(dir.file("gone")));
}

} // namespace
