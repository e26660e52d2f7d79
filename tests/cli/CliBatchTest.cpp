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
#include <cstdlib>
#include <filesystem>
#include <map>

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

// Every file and folder below folder, one line each, with a file's time,
// size and a hash of its bytes (the program and the caught output left out;
// the start-up's probe of the program folder changes that folder's time).
std::string snapshot(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name == "moxel-cli" || name.rfind("cli-", 0) == 0)
            continue;
        std::string line = "folder";
        if (entry.is_regular_file()) {
            const std::string bytes = test::readFileText(entry.path().string());
            line = std::to_string(entry.last_write_time().time_since_epoch().count()) + " " +
                   std::to_string(bytes.size()) + " " +
                   std::to_string(std::hash<std::string>{}(bytes));
        }
        files[entry.path().string()] = line;
    }
    std::string text;
    for (const auto& [name, line] : files)
        text += name + " " + line + "\n";
    return text;
}

TEST_F(CliBatchTest, LineRunsOneLineOfTheBatchCountingBlankLines)
{
    listRawProfile();
    const std::string a = clip("a.avi", 3);
    test::writeFileText(file("b.txt"), a + "\t" + file("a.kmf") + "\t" + kRawName + "\n\n" + a +
                                           "\t" + file("c.kmf") + "\t" + kRawName + "\n");
    CliResult r = run({"--batch", file("b.txt"), "--line", "3", "--report", file("r.json")});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_FALSE(fs::exists(file("a.kmf")));
    EXPECT_EQ(test::summariseKmf(file("c.kmf")).frames.size(), 3u);
    test::JsonValue report;
    std::string error;
    ASSERT_TRUE(test::parseJson(test::readFileText(file("r.json")), report, error)) << error;
    ASSERT_EQ(report["jobs"].items.size(), 1u);
    EXPECT_EQ(report["jobs"][0]["destination"].text, file("c.kmf"));

    // A scheduler's index counted from 0.
    ::setenv("MOXEL_TEST_INDEX", "0", 1);
    r = run({"--batch", file("b.txt"), "--line", "env:MOXEL_TEST_INDEX+1"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(fs::exists(file("a.kmf")));

    // A blank line is in range but has no job.
    r = run({"--batch", file("b.txt"), "--line", "2"});
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "b.txt:2: the line is blank")) << r.err;

    ::setenv("MOXEL_TEST_INDEX", "x1", 1);
    const std::vector<std::pair<std::vector<std::string>, std::string>> usage = {
        {{"--batch", file("b.txt"), "--line", "4"}, "the batch file has 3 line(s)"},
        {{"--batch", file("b.txt"), "--line", "0"}, "lines count from 1"},
        {{"--batch", file("b.txt"), "--line", "2x"}, "not a line number"},
        {{"--batch", file("b.txt"), "--line", "env:MOXEL_TEST_UNSET"},
         "MOXEL_TEST_UNSET is not set"},
        {{"--batch", file("b.txt"), "--line", "env:MOXEL_TEST_INDEX"}, "MOXEL_TEST_INDEX holds"},
        {{"--line", "1", a}, "--line needs --batch"},
    };
    for (const auto& [args, message] : usage) {
        r = run(args);
        EXPECT_EQ(r.exitStatus, 2) << message;
        EXPECT_TRUE(contains(r.err, message)) << r.err;
    }
    ::unsetenv("MOXEL_TEST_INDEX");
}

TEST_F(CliBatchTest, SkipExistingPassesCompleteFilesAndConvertsOthersAgain)
{
    listRawProfile();
    const std::string a = clip("a.avi", 4);
    const std::string b = clip("b.avi", 3);
    test::writeFileText(file("b.txt"), a + "\t" + file("a.kmf") + "\t" + kRawName + "\n" + b +
                                           "\t" + file("b.kmf") + "\t" + kRawName + "\n");
    ASSERT_EQ(run({"--batch", file("b.txt")}).exitStatus, 0);
    const auto before = fs::last_write_time(file("a.kmf"));
    // b.kmf cut short, as a damaged copy would be.
    const std::string whole = test::readFileText(file("b.kmf"));
    test::writeFileText(file("b.kmf"), whole.substr(0, whole.size() - 100));

    const CliResult r =
        run({"--skip-existing", "--batch", file("b.txt"), "--report", file("r.json")});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "[1/2] a.avi: already done")) << r.err;
    EXPECT_TRUE(contains(r.err, "[2/2] b.avi: complete")) << r.err;
    EXPECT_EQ(fs::last_write_time(file("a.kmf")), before);
    EXPECT_EQ(test::readFileText(file("b.kmf")).size(), whole.size());
    test::JsonValue report;
    std::string error;
    ASSERT_TRUE(test::parseJson(test::readFileText(file("r.json")), report, error)) << error;
    EXPECT_EQ(report["jobs"][0]["status"].text, "skipped");
    EXPECT_TRUE(contains(report["jobs"][0]["error"].text, "already done"))
        << report["jobs"][0]["error"].text;
    EXPECT_EQ(report["jobs"][1]["status"].text, "complete");

    // A file that is not KMF at all is converted again too; on a pipe the
    // status line is one line per job, never rewritten.
    test::writeFileText(file("a.kmf"), "not a KMF file");
    const CliResult single = run({"--skip-existing", "-p", "0", "-o", file("a.kmf"), a});
    ASSERT_EQ(single.exitStatus, 0) << single.err;
    EXPECT_FALSE(contains(single.err, "\r")) << single.err;
    EXPECT_EQ(test::summariseKmf(file("a.kmf")).frames.size(), 4u);
}

TEST_F(CliBatchTest, ReadOnlyProfilesLeaveTheStoreAndSettingsAsTheyWere)
{
    listRawProfile();
    // A profile without some kmfconfig keys gets them back from a job that
    // may write.
    std::string profile = test::readFileText(file("bin/Profiles/raw.pf"));
    const size_t key = profile.find("hdrtoc=");
    ASSERT_NE(key, std::string::npos);
    profile.erase(key, profile.find('\n', key) + 1 - key);
    test::writeFileText(file("bin/Profiles/raw.pf"), profile);
    const std::string a = clip("a.avi", 2);
    const auto store = snapshot(file("bin"));

    CliResult r = run({"--read-only-profiles", "-p", "0", "-o", file("a.kmf"), a});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(snapshot(file("bin")), store);

    // A store folder without write permission is read-only by itself, also
    // for root, whom the permission would not stop.
    fs::permissions(file("bin/Profiles"),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    r = run({"--overwrite", "-p", "0", "-o", file("a.kmf"), a});
    fs::permissions(file("bin/Profiles"), fs::perms::owner_write, fs::perm_options::add);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(snapshot(file("bin")), store);

    // A first start with a read-only store makes no "(Default)" file.
    fs::remove_all(file("bin/Profiles"));
    r = run({"--read-only-profiles", "--list-profiles"});
    EXPECT_EQ(r.out, "0\t(Default)\n");
    EXPECT_FALSE(fs::exists(file("bin/Profiles")));

    // Without the flag the job writes the missing key back.
    fs::create_directories(file("bin/Profiles"));
    listRawProfile();
    test::writeFileText(file("bin/Profiles/raw.pf"), profile);
    ASSERT_EQ(run({"--overwrite", "-p", "0", "-o", file("a.kmf"), a}).exitStatus, 0);
    EXPECT_TRUE(contains(test::readFileText(file("bin/Profiles/raw.pf")), "hdrtoc="));
}

TEST_F(CliBatchTest, DryRunListsTheJobsAndWritesNothing)
{
    listRawProfile();
    const std::string a = clip("a.avi", 2);
    test::writeFileText(file("b.txt"), a + "\t" + file("out/a.kmf") + "\t" + kRawName + "\n" + a +
                                           "\t" + file("c.kmf") + "\tNo Such Profile\n");
    const auto before = snapshot(folder());
    CliResult r = run({"--mkdir", "--dry-run", "--batch", file("b.txt")});
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_EQ(r.out, a + "\t" + file("out/a.kmf") + "\t" + kRawName + "\n");
    EXPECT_TRUE(contains(r.err, file("b.txt") + ":2: the profile \"No Such Profile\"")) << r.err;
    EXPECT_EQ(snapshot(folder()), before);
    EXPECT_FALSE(fs::exists(file("out")));

    r = run({"--dry-run", "--json", "--batch", file("b.txt"), "--line", "1"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    test::JsonValue plan;
    std::string error;
    ASSERT_TRUE(test::parseJson(r.out, plan, error)) << error << r.out;
    ASSERT_EQ(plan["jobs"].items.size(), 1u);
    EXPECT_EQ(plan["jobs"][0]["destination"].text, file("out/a.kmf"));
    EXPECT_EQ(plan["jobs"][0]["profile"].text, kRawName);
    EXPECT_TRUE(plan["problems"].items.empty());
    EXPECT_EQ(snapshot(folder()), before);
}

TEST_F(CliBatchTest, VersionAndProfilesAsJson)
{
    CliResult r = run({"--version"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "moxel-cli " MOXEL_VERSION "\n");

    listRawProfile();
    r = run({"--list-profiles", "--json"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    test::JsonValue profiles;
    std::string error;
    ASSERT_TRUE(test::parseJson(r.out, profiles, error)) << error << r.out;
    ASSERT_EQ(profiles.items.size(), 1u);
    EXPECT_EQ(profiles[0]["name"].text, kRawName);
    EXPECT_EQ(profiles[0]["video_format"].text, "RGB3");
    EXPECT_EQ(profiles[0]["audio_format"].text, "PCM ");
    EXPECT_EQ(profiles[0]["output_size"].text, "320x240");

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-q", "-v", "x.avi"}, {"--json", "x.avi"}})
        EXPECT_EQ(run(args).exitStatus, 2);
}

} // namespace
} // namespace moxel
