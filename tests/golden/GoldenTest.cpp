// Golden whole jobs: every job of the table is converted by moxel-cli from
// a clip and a profile that the test writes, and the size and SHA-256 of the
// .kmf must equal its line in tests/golden/expected.txt. A change to any
// byte of any job's output fails that job, names it and keeps the files in
// the build folder (golden/failed/JOB/) for kmfinfo and a byte compare.
//
// MOXEL_GOLDEN_UPDATE=1 records the results as the new expectations
// instead (scripts/golden-update); MOXEL_GOLDEN_RUNS=N converts each job N
// times and fails when the runs differ, so an output that is not
// deterministic is told apart from a changed one.
#include "GoldenJobs.h"
#include "GoldenTable.h"

#include "cli/CliProcess.h"
#include "support/TempDir.h"

extern "C" {
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace moxel {
namespace {

namespace fs = std::filesystem;
using test::GoldenJob;
using test::GoldenResult;

bool updating()
{
    const char* value = std::getenv("MOXEL_GOLDEN_UPDATE");
    return value != nullptr && *value != '\0' && std::string(value) != "0";
}

int runsPerJob()
{
    const char* value = std::getenv("MOXEL_GOLDEN_RUNS");
    const int runs = value != nullptr ? std::atoi(value) : 0;
    return runs > 1 ? runs : updating() ? 2 : 1;
}

std::vector<std::string> jobNames()
{
    std::vector<std::string> names;
    for (const GoldenJob& job : test::goldenJobs())
        names.push_back(job.name);
    return names;
}

std::string describe(const GoldenResult& r)
{
    return std::to_string(r.bytes) + " bytes, sha256 " + r.sha256;
}

class GoldenJobTest : public ::testing::TestWithParam<size_t> {
  protected:
    void SetUp() override
    {
        av_log_set_level(AV_LOG_ERROR);
        // moxel-cli reads and writes its settings here, not in the user's.
        setenv("XDG_CONFIG_HOME", m_dir.file("config").c_str(), 1);
    }

    // Converts the job's source into name (in the test's folder).
    GoldenResult convert(const GoldenJob& job, const std::string& profile, const std::string& name)
    {
        const test::CliResult r =
            test::runCli(folder(), {"--profile", profile, "-o", name, job.source});
        EXPECT_EQ(r.exitStatus, 0) << job.name << ": moxel-cli failed:\n" << r.err;
        return test::digestFile(m_dir.file(name));
    }

    // Copies what a failed job used and wrote to the build folder; the folder.
    std::string keep(const GoldenJob& job, const std::vector<std::string>& names)
    {
        const fs::path kept = fs::path(MOXEL_GOLDEN_KEEP) / job.name;
        std::error_code error;
        fs::create_directories(kept, error);
        for (const std::string& name : names)
            fs::copy_file(m_dir.file(name), kept / name, fs::copy_options::overwrite_existing,
                          error);
        return kept.string();
    }

    std::string folder() const { return m_dir.path().string(); }

    test::TempDir m_dir;
};

TEST_P(GoldenJobTest, OutputMatchesTheTable)
{
    const GoldenJob& job = test::goldenJobs()[GetParam()];
    std::error_code ignored;
    fs::remove_all(fs::path(MOXEL_GOLDEN_KEEP) / job.name, ignored);

    std::string error;
    ASSERT_TRUE(test::writeClip(m_dir.file(job.source), test::goldenSourceSpec(job.source), &error))
        << job.source << ": " << error;
    const std::string profile = m_dir.file(job.name + ".pf");
    test::writeFileText(profile, test::goldenProfileText(job));

    const GoldenResult result = convert(job, profile, "out.kmf");
    ASSERT_FALSE(result.sha256.empty()) << job.name << ": no output file";
    for (int run = 2; run <= runsPerJob(); ++run) {
        const std::string again = "run" + std::to_string(run) + ".kmf";
        const GoldenResult other = convert(job, profile, again);
        if (other != result) {
            FAIL() << "job " << job.name << " is not deterministic: the first run wrote "
                   << describe(result) << ", run " << run << " " << describe(other)
                   << "; both kept in "
                   << keep(job, {"out.kmf", again, job.name + ".pf", job.source});
        }
    }

    if (updating()) {
        ASSERT_TRUE(test::recordGoldenResult(MOXEL_GOLDEN_TABLE, jobNames(), job.name, result))
            << "cannot write " << MOXEL_GOLDEN_TABLE;
        return;
    }
    const auto table = test::readGoldenTable(MOXEL_GOLDEN_TABLE);
    const auto expected = table.find(job.name);
    if (expected == table.end()) {
        FAIL() << "job " << job.name << " has no line in " << MOXEL_GOLDEN_TABLE << " (it wrote "
               << describe(result) << "); scripts/golden-update records it";
    }
    if (expected->second != result) {
        ADD_FAILURE() << "job " << job.name << " changed its output\n"
                      << "  expected: " << describe(expected->second) << "\n"
                      << "  actual:   " << describe(result) << "\n"
                      << "  kept in " << keep(job, {"out.kmf", job.name + ".pf", job.source})
                      << " (out.kmf, the profile and the source clip)\n"
                      << "  an intended change: scripts/golden-update, then review git diff";
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, GoldenJobTest,
                         ::testing::Range(size_t{0}, test::goldenJobs().size()),
                         [](const ::testing::TestParamInfo<size_t>& job) {
                             return test::goldenJobs()[job.param].name;
                         });

// The table and the expectation file agree: names usable as test names and
// unique, every line well formed and naming a job, every job with a line,
// every profile key known and every source one the test can write.
TEST(GoldenTableTest, ListsEveryJobOnceAndNothingElse)
{
    std::set<std::string> names;
    const std::vector<std::string> sources = test::goldenSourceNames();
    for (const GoldenJob& job : test::goldenJobs()) {
        EXPECT_TRUE(names.insert(job.name).second) << "two jobs named " << job.name;
        EXPECT_EQ(job.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_"),
                  std::string::npos)
            << job.name;
        EXPECT_NE(std::find(sources.begin(), sources.end(), job.source), sources.end())
            << job.name << ": unknown source " << job.source;
        EXPECT_NO_THROW(test::goldenProfileText(job));
    }
    if (updating())
        return; // the jobs' runs are filling the file in
    std::vector<std::string> bad;
    const auto table = test::readGoldenTable(MOXEL_GOLDEN_TABLE, &bad);
    EXPECT_TRUE(bad.empty()) << "lines that do not parse, first: "
                             << (bad.empty() ? "" : bad.front());
    for (const auto& entry : table)
        EXPECT_TRUE(names.count(entry.first)) << "a line for no job: " << entry.first;
    for (const std::string& name : names)
        EXPECT_TRUE(table.count(name)) << "no line for job " << name;
}

} // namespace
} // namespace moxel
