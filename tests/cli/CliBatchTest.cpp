// moxel-cli on the program's own profile store: --list-profiles, profiles
// chosen by name, and --batch running a saved batch file through the batch
// list, with its report. Each test runs a copy of the program in a folder of its own, so its
// settings and Profiles folder are the test's.
#include "CliProcess.h"

#include "support/ClipWriter.h"
#include "support/JsonCheck.h"
#include "support/KmfSummary.h"
#include "support/TempDir.h"

extern "C" {
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

namespace moxel {
namespace {

namespace fs = std::filesystem;
using test::CliResult;

const char* const kRawName = "Uncompressed: RGB 24bit 320x240 + PCM";

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class CliBatchTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        av_log_set_level(AV_LOG_ERROR);
        fs::create_directories(file("bin/Profiles"));
        fs::copy_file(MOXEL_CLI_PATH, program());
        fs::permissions(program(), fs::perms::owner_all);
    }
    // The sample uncompressed profile as the store's only profile.
    void listRawProfile()
    {
        fs::copy_file(MOXEL_SAMPLE_PROFILES "/uncompressed-rgb-pcm.pf",
                      file("bin/Profiles/raw.pf"));
        test::writeFileText(file("bin/Profiles/index.txt"),
                            "[config]\nnum_profiles=1\nprofile0=raw.pf\n");
    }
    std::string clip(const std::string& name, int frames)
    {
        test::ClipSpec spec;
        spec.videoCodec = "mpeg4";
        spec.audioCodec = "";
        spec.frameCount = frames;
        std::string error;
        EXPECT_TRUE(test::writeClip(file(name), spec, &error)) << error;
        return file(name);
    }
    CliResult run(const std::vector<std::string>& args)
    {
        test::CliProcess process(folder(), args, program());
        return process.finish();
    }
    std::string file(const std::string& name) const { return m_dir.file(name); }
    std::string folder() const { return m_dir.path().string(); }
    std::string program() const { return file("bin/moxel-cli"); }

    test::TempDir m_dir;
};

TEST_F(CliBatchTest, ListProfilesShowsTheStoreAndMakesTheDefaultOnFirstStart)
{
    CliResult r = run({"--list-profiles"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    // With the ready-made profile that needs no plug-in.
    EXPECT_EQ(r.out, std::string("0\t(Default)\n1\t") + kRawName + "\n");
    EXPECT_TRUE(fs::exists(file("bin/Profiles/(Default).pf")));

    listRawProfile();
    r = run({"--list-profiles"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, std::string("0\t") + kRawName + "\n");
}

TEST_F(CliBatchTest, RunsTheGoodLinesOfABatchAndReportsTheOthers)
{
    listRawProfile();
    const std::string a = clip("a.avi", 5);
    const std::string b = clip("b.avi", 3);
    test::writeFileText(file("b.txt"), a + "\t" + file("out/a.kmf") + "\t" + kRawName + "\r\n" + b +
                                           "\t" + file("b.kmf") + "\t" + kRawName + "\r\n" + a +
                                           "\t" + file("c.kmf") + "\tNo Such Profile\r\n" +
                                           "not a batch line\r\n");
    const CliResult r = run({"--mkdir", "--batch", file("b.txt")});
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_TRUE(contains(r.err, file("b.txt") + ":3: the profile \"No Such Profile\"")) << r.err;
    EXPECT_TRUE(contains(r.err, file("b.txt") + ":4: ")) << r.err;
    EXPECT_TRUE(contains(r.err, "[2/2] b.avi: complete")) << r.err;
    EXPECT_EQ(test::summariseKmf(file("out/a.kmf")).frames.size(), 5u);
    EXPECT_EQ(test::summariseKmf(file("b.kmf")).frames.size(), 3u);
    EXPECT_FALSE(fs::exists(file("c.kmf")));

    // All good: exit status 0; an existing output is skipped without --overwrite.
    test::writeFileText(file("good.txt"), b + "\t" + file("b2.kmf") + "\t" + kRawName + "\r\n" + b +
                                              "\t" + file("b.kmf") + "\t" + kRawName + "\r\n");
    EXPECT_EQ(run({"--batch", file("good.txt"), "--report", file("good.json")}).exitStatus, 1);
    EXPECT_EQ(run({"--overwrite", "--batch", file("good.txt")}).exitStatus, 0);

    // The report of the run that skipped one names the store's profiles.
    test::JsonValue report;
    std::string error;
    ASSERT_TRUE(test::parseJson(test::readFileText(file("good.json")), report, error)) << error;
    ASSERT_EQ(report["jobs"].items.size(), 2u);
    EXPECT_EQ(report["jobs"][0]["status"].text, "complete");
    EXPECT_EQ(report["jobs"][1]["status"].text, "skipped");
    EXPECT_EQ(report["jobs"][1]["destination"].text, file("b.kmf"));
    EXPECT_EQ(report["jobs"][1]["profile"].text, kRawName);
}

TEST_F(CliBatchTest, ProfileOptionTakesAStoreProfileByNameOrPosition)
{
    listRawProfile();
    const std::string a = clip("a.avi", 3);
    std::string lower = kRawName;
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& named : {std::string(kRawName), lower, std::string("0")}) {
        const CliResult r = run({"--overwrite", "-p", named, "-o", file("a.kmf"), a});
        ASSERT_EQ(r.exitStatus, 0) << named << ": " << r.err;
        EXPECT_EQ(test::summariseKmf(file("a.kmf")).frames.size(), 3u) << named;
    }
    for (const char* unknown : {"1", "No Such Profile", "-1"}) {
        const CliResult r = run({"-p", unknown, a});
        EXPECT_EQ(r.exitStatus, 2) << unknown;
        EXPECT_TRUE(contains(r.err, "--list-profiles")) << r.err;
    }
}

TEST_F(CliBatchTest, BatchRunsTakeNoSourcesAndNeedAReadableFile)
{
    EXPECT_EQ(run({"--batch", file("b.txt"), "x.avi"}).exitStatus, 2);
    EXPECT_EQ(run({"--batch", file("b.txt"), "--list-profiles"}).exitStatus, 2);
    EXPECT_EQ(run({"--batch", file("b.txt"), "-p", "x.pf"}).exitStatus, 2);
    const CliResult missing = run({"--batch", file("missing.txt")});
    EXPECT_EQ(missing.exitStatus, 2);
    EXPECT_TRUE(contains(missing.err, "cannot read the batch file")) << missing.err;
}

} // namespace
} // namespace moxel
