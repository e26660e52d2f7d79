#include "profiles/EncodingProfile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <tuple>

using namespace moxel;

namespace {

const char* const kNewProfile = "[kmfencpp]\r\n"
                                "out_srate=44100\r\n"
                                "out_channels=2\r\n"
                                "sizefix=1\r\n"
                                "deinterlace=0\r\n"
                                "filteringresize=1\r\n"
                                "doresize=0\r\n"
                                "resizew=320\r\n"
                                "resizeh=240\r\n"
                                "crop_l=0\r\n"
                                "crop_t=0\r\n"
                                "crop_r=0\r\n"
                                "crop_b=0\r\n"
                                "outfruse=0\r\n"
                                "lowpass=0\r\n"
                                "friendly_name=new profile\r\n"
                                "audioscale=1.000\r\n"
                                "outfror=30.0000000\r\n";

EncodingProfile loadFrom(const test::TempDir& dir, const std::string& content)
{
    EncodingProfile p;
    p.filePath = dir.file("p.pf");
    test::writeFileText(p.filePath, content);
    p.load();
    return p;
}

// Every numeric field, in the order of the file.
auto numbers(const EncodingProfile& p)
{
    return std::tuple(p.outSampleRate, p.outChannels, p.roundSizeTo16, p.deinterlace,
                      p.filteredResize, p.resizeEnabled, p.resizeWidth, p.resizeHeight, p.cropL,
                      p.cropT, p.cropR, p.cropB, p.useOutputFrameRate, p.lowPassFilter,
                      p.volumeScale, p.outputFrameRate);
}

void expectDefaults(const EncodingProfile& p)
{
    EXPECT_EQ(numbers(p), numbers(EncodingProfile{}));
}

TEST(EncodingProfile, NewProfileFileIsExact)
{
    test::TempDir dir;
    EncodingProfile p;
    p.filePath = dir.file("new profile.pf");
    p.friendlyName = "new profile";
    p.resetToDefaults();
    ASSERT_TRUE(p.save());
    EXPECT_EQ(test::readFileText(p.filePath), kNewProfile);
}

TEST(EncodingProfile, ResetKeepsPathAndName)
{
    EncodingProfile p;
    p.filePath = "/x/y.pf";
    p.friendlyName = "mine";
    p.outSampleRate = 8000;
    p.cropB = 6;
    p.volumeScale = 3.0;
    p.resetToDefaults();
    expectDefaults(p);
    EXPECT_EQ(p.filePath, "/x/y.pf");
    EXPECT_EQ(p.friendlyName, "mine");
}

TEST(EncodingProfileLoad, OnlyNameGivesDefaultsAndName)
{
    test::TempDir dir;
    EncodingProfile p = loadFrom(dir, "[kmfencpp]\r\nfriendly_name=abc\r\n");
    expectDefaults(p);
    EXPECT_EQ(p.friendlyName, "abc");
}

TEST(EncodingProfileLoad, MissingFileIsNamedError)
{
    test::TempDir dir;
    EncodingProfile p;
    p.filePath = dir.file("absent.pf");
    p.outSampleRate = 1;
    p.load();
    expectDefaults(p);
    EXPECT_EQ(p.friendlyName, "error");
}

TEST(EncodingProfileLoad, ReadsEveryField)
{
    test::TempDir dir;
    EncodingProfile p = loadFrom(
        dir,
        "[KMFENCPP]\r\nout_srate=1\r\nout_channels=6\r\nsizefix=0\r\ndeinterlace="
        "2\r\nfilteringresize=0\r\n"
        "doresize=1\r\nresizew=640\r\nresizeh=480\r\ncrop_l=4294967292\r\ncrop_t=2\r\ncrop_r=3\r\n"
        "crop_b=4\r\noutfruse=1\r\nlowpass=1\r\nfriendly_name=All set\r\naudioscale=2.5\r\n"
        "outfror=29.97\r\n");
    EXPECT_EQ(numbers(p), std::tuple(1, 6, 0, Deinterlace::Plain, 0, 1, 640, 480, -4, 2, 3, 4, 1, 1,
                                     2.5, 29.97));
    EXPECT_EQ(p.friendlyName, "All set");
    EXPECT_EQ(p.volumeScale, 2.5);
    EXPECT_EQ(p.outputFrameRate, 29.97);
}

TEST(EncodingProfileLoad, AudioscaleBelowMinimumIsOne)
{
    struct Case {
        const char* value;
        double expected;
    };
    const Case cases[] = {
        {"0", 1.0},   {"-2", 1.0},   {"0.0005", 1.0}, {"0.001", 0.001}, {"abc", 1.0},
        {"nan", 1.0}, {"2.5x", 2.5}, {" 1e1", 10.0},  {"", 1.0},        {"+.5", 0.5},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        EncodingProfile p =
            loadFrom(dir, std::string("[kmfencpp]\nfriendly_name=n\naudioscale=") + c.value + "\n");
        EXPECT_EQ(p.volumeScale, c.expected) << "audioscale=" << c.value;
    }
}

// An infinite value could not reach the processing sensibly nor be saved
// and read back: it reads as that key's default, the other keys as written.
TEST(EncodingProfileLoad, NumbersTooLargeForADoubleReadAsTheDefault)
{
    test::TempDir dir;
    EncodingProfile p = loadFrom(dir, "[kmfencpp]\nfriendly_name=n\ncrop_l=8\naudioscale=1e999\n"
                                      "outfror=-1e900\n");
    EXPECT_EQ(p.volumeScale, 1.0);
    EXPECT_EQ(p.outputFrameRate, 30.0);
    EXPECT_EQ(p.cropL, 8);
    p = loadFrom(dir, "[kmfencpp]\noutfror=1e300\naudioscale=-1e999\n");
    EXPECT_EQ(p.outputFrameRate, 1e300) << "large but finite stays";
    EXPECT_EQ(p.volumeScale, 1.0);
}

TEST(EncodingProfileLoad, ZeroEssentialResetsAllButName)
{
    const char* zeroes[] = {"outfror=0", "outfror=abc", "out_srate=0", "out_channels=0",
                            "resizew=0", "resizeh=0",   "resizew=abc"};
    test::TempDir dir;
    for (const char* zero : zeroes) {
        SCOPED_TRACE(zero);
        EncodingProfile p = loadFrom(dir, std::string("[kmfencpp]\nfriendly_name=kept\ncrop_l=8\n"
                                                      "audioscale=2\nlowpass=1\n") +
                                              zero + "\n");
        expectDefaults(p);
        EXPECT_EQ(p.friendlyName, "kept");
    }
}

TEST(EncodingProfileLoad, IntegerStopsAtFirstOtherCharacter)
{
    test::TempDir dir;
    EncodingProfile p = loadFrom(dir, "[kmfencpp]\nresizew=12abc\n");
    EXPECT_EQ(p.resizeWidth, 12);
    EXPECT_EQ(p.outputFrameRate, 30.0) << "absent outfror reads as 30.0";
}

// A deinterlace number outside the named modes, from a hand-edited file, is
// kept as it is: loading and saving again leaves the file byte for byte.
TEST(EncodingProfileLoad, HandEditedDeinterlaceKeepsItsNumber)
{
    struct Case {
        const char* written;
        int loaded;
        const char* saved;
    } cases[] = {
        {"1", 1, "1"},
        {"2", 2, "2"},
        {"5", 5, "5"},
        {"4294967295", -1, "4294967295"},
        {"-3", -3, "4294967293"},
        {"7abc", 7, "7"},
    };
    const std::string key = "\r\ndeinterlace=0\r\n";
    const std::string canonical = kNewProfile;
    const size_t at = canonical.find(key);
    ASSERT_NE(at, std::string::npos);
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        auto withValue = [&](const char* value) {
            return canonical.substr(0, at) + "\r\ndeinterlace=" + value + "\r\n" +
                   canonical.substr(at + key.size());
        };
        EncodingProfile p = loadFrom(dir, withValue(c.written));
        EXPECT_EQ(static_cast<int>(p.deinterlace), c.loaded);
        ASSERT_TRUE(p.save());
        EXPECT_EQ(test::readFileText(p.filePath), withValue(c.saved));
    }
}

TEST(EncodingProfileLoad, NameCutTo254)
{
    test::TempDir dir;
    EncodingProfile p = loadFrom(dir, "[kmfencpp]\nfriendly_name=" + std::string(300, 'n') + "\n");
    EXPECT_EQ(p.friendlyName, std::string(254, 'n'));
}

TEST(EncodingProfileSave, NumberFormats)
{
    test::TempDir dir;
    EncodingProfile p;
    p.filePath = dir.file("p.pf");
    p.friendlyName = "n";
    p.volumeScale = 1.23456;
    p.outputFrameRate = 29.97;
    p.cropL = -4;
    ASSERT_TRUE(p.save());
    std::string text = test::readFileText(p.filePath);
    EXPECT_NE(text.find("\r\naudioscale=1.235\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\noutfror=29.9700000\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\ncrop_l=4294967292\r\n"), std::string::npos) << text;

    EncodingProfile back;
    back.filePath = p.filePath;
    back.load();
    EXPECT_EQ(back.cropL, -4);
    EXPECT_EQ(back.volumeScale, 1.235);
}

// The GUI sets the user's locale; a comma as decimal point must not reach
// the file or break reading it.
TEST(EncodingProfileSave, IndependentOfLocale)
{
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    test::TempDir dir;
    EncodingProfile p;
    p.filePath = dir.file("p.pf");
    p.friendlyName = "n";
    p.outputFrameRate = 29.97;
    bool ok = p.save();
    EncodingProfile back;
    back.filePath = p.filePath;
    back.load();
    std::setlocale(LC_NUMERIC, saved.c_str());
    ASSERT_TRUE(ok);
    EXPECT_NE(test::readFileText(p.filePath).find("outfror=29.9700000"), std::string::npos);
    EXPECT_EQ(back.outputFrameRate, 29.97);
}

TEST(EncodingProfileSave, OtherSectionsAndKeysKeptByteForByte)
{
    test::TempDir dir;
    const std::string plugin = "[vp_codec]\nbitrate = 300 ; kbit\n\nmode=\"two pass\"\n";
    const std::string config = "[kmfconfig]\r\nvidfmt=859981650\r\n\r\n";
    std::string path = dir.file("p.pf");
    test::writeFileText(path, config + "[kmfencpp]\r\nextra=kept\r\nout_srate=8000\r\n" + plugin);
    EncodingProfile p;
    p.filePath = path;
    p.load();
    p.outSampleRate = 22050;
    ASSERT_TRUE(p.save());

    std::string text = test::readFileText(path);
    EXPECT_EQ(text.substr(0, config.size()), config);
    ASSERT_GE(text.size(), plugin.size());
    EXPECT_EQ(text.substr(text.size() - plugin.size()), plugin);
    EXPECT_NE(text.find("[kmfencpp]\r\nextra=kept\r\nout_srate=22050\r\nout_channels=2\r\n"),
              std::string::npos)
        << text;
}

TEST(EncodingProfileSave, FailureReportedAndRecordKept)
{
    test::TempDir dir;
    EncodingProfile p;
    p.filePath = dir.file("no folder/p.pf");
    p.friendlyName = "n";
    p.outSampleRate = 8000;
    EXPECT_FALSE(p.save());
    EXPECT_EQ(p.outSampleRate, 8000);
}

} // namespace
