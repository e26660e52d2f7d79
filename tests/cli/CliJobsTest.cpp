// moxel-cli --jobs: several jobs at the same time, each with its own
// progress blocks, report entry and file; jobs that would write the same
// file one after the other; and the numbers --jobs refuses.
#include "CliProcess.h"

#include "support/ClipWriter.h"
#include "support/JsonCheck.h"
#include "support/KmfSummary.h"
#include "support/TempDir.h"

extern "C" {
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

namespace moxel {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::contains;
using test::runCli;

// One --progress block as key -> value.
using Block = std::map<std::string, std::string>;

std::vector<Block> progressBlocks(const std::string& text)
{
    std::vector<Block> blocks(1);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        if (key == "progress")
            blocks.emplace_back();
        else
            blocks.back()[key] = line.substr(equals + 1);
    }
    blocks.pop_back(); // after the last progress= line
    return blocks;
}

// The time of day in ms of a report time, "2026-03-01T12:00:05.250Z".
double msOfDay(const std::string& iso)
{
    if (iso.size() != 24)
        return -1;
    return ((std::stoi(iso.substr(11, 2)) * 60 + std::stoi(iso.substr(14, 2))) * 60 +
            std::stod(iso.substr(17, 6))) *
           1000;
}

class CliJobsTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        av_log_set_level(AV_LOG_ERROR);
        fs::copy_file(MOXEL_SAMPLE_PROFILES "/uncompressed-rgb-pcm.pf", file("raw.pf"));
    }
    void clip(const std::string& name, int frames, const char* video = "mpeg4")
    {
        test::ClipSpec spec;
        spec.videoCodec = video;
        spec.audioCodec = "";
        spec.frameCount = frames;
        std::string error;
        ASSERT_TRUE(test::writeClip(file(name), spec, &error)) << error;
    }
    std::string file(const std::string& name) const { return m_dir.file(name); }
    std::string folder() const { return m_dir.path().string(); }

    test::TempDir m_dir;
};

TEST_F(CliJobsTest, FourClipsTwoAtATimeAllCompleteAndEachIsReported)
{
    const std::vector<std::string> names = {"a.avi", "b.avi", "c.avi", "d.avi"};
    const std::vector<int> frames = {150, 120, 90, 60};
    for (size_t i = 0; i < names.size(); ++i)
        clip(names[i], frames[i]);
    std::vector<std::string> args = {"--jobs",     "2",     "-p",       "raw.pf",
                                     "--progress", "p.txt", "--report", "run.json"};
    args.insert(args.end(), names.begin(), names.end());
    const CliResult r = runCli(folder(), args);
    ASSERT_EQ(r.exitStatus, 0) << r.err;

    test::JsonValue report;
    std::string error;
    ASSERT_TRUE(test::parseJson(test::readFileText(file("run.json")), report, error)) << error;
    ASSERT_EQ(report["jobs"].items.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string kmf = names[i].substr(0, 1) + ".kmf";
        const test::KmfSummary s = test::summariseKmf(file(kmf));
        ASSERT_TRUE(s.ok) << kmf << ": " << s.error;
        EXPECT_EQ(s.frames.size(), size_t(frames[i])) << kmf;
        EXPECT_EQ(s.header.fileSize, s.fileBytes) << kmf;
        const test::JsonValue& job = report["jobs"][i];
        EXPECT_EQ(job["source"].text, names[i]);
        EXPECT_EQ(job["status"].text, "complete");
        EXPECT_EQ(job["counters"]["pictures_written"].number, frames[i]);
        EXPECT_TRUE(contains(r.err, "[" + std::to_string(i + 1) + "/4] " + names[i] + ": complete"))
            << r.err;
    }

    // The second job started along with the first, not once the first was
    // nearly through (one job at a time starts it as the first finishes its
    // file, a few ms before the first's end time).
    const double firstStart = msOfDay(report["jobs"][0]["started"].text);
    const double firstLength = msOfDay(report["jobs"][0]["ended"].text) - firstStart;
    EXPECT_LT(msOfDay(report["jobs"][1]["started"].text) - firstStart, firstLength / 2)
        << test::readFileText(file("run.json"));

    // Every block names its job and that job's source; each job has one
    // complete block, its last.
    const std::vector<Block> blocks = progressBlocks(test::readFileText(file("p.txt")));
    std::map<int, int> completeBlocks;
    std::map<int, std::string> lastStatus;
    for (size_t b = 0; b < blocks.size(); ++b) {
        const int job = std::stoi(blocks[b].at("job"));
        ASSERT_GE(job, 1);
        ASSERT_LE(job, 4);
        EXPECT_EQ(blocks[b].at("source"), names[size_t(job - 1)]);
        completeBlocks[job] += blocks[b].at("status") == "complete" ? 1 : 0;
        lastStatus[job] = blocks[b].at("status");
    }
    for (int job = 1; job <= 4; ++job) {
        EXPECT_EQ(completeBlocks[job], 1) << "job " << job;
        EXPECT_EQ(lastStatus[job], "complete") << "job " << job;
    }
    EXPECT_TRUE(contains(test::readFileText(file("p.txt")), "progress=end\n"));
}

// a.avi and a.mp4 both become a.kmf: the second waits until the first has
// put its file in place, then replaces it (--overwrite), as one after the
// other would.
TEST_F(CliJobsTest, JobsWithOneOutputFileRunOneAfterTheOther)
{
    clip("a.avi", 40);
    clip("a.mp4", 15, "h264");
    clip("b.avi", 5);
    const CliResult r =
        runCli(folder(), {"--jobs", "3", "--overwrite", "-p", "raw.pf", "a.avi", "a.mp4", "b.avi"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "a.mp4: waits until the job using")) << r.err;
    const test::KmfSummary s = test::summariseKmf(file("a.kmf"));
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.frames.size(), 15u); // the later job's file
    EXPECT_TRUE(test::summariseKmf(file("b.kmf")).ok);
    for (const auto& entry : fs::directory_iterator(folder()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
}

TEST_F(CliJobsTest, JobsNeedsAPositiveNumberAndMayExceedTheQueue)
{
    for (const char* bad : {"0", "-2", "two"}) {
        const CliResult r = runCli(folder(), {"--jobs", bad, "a.avi"});
        EXPECT_EQ(r.exitStatus, 2) << bad;
        EXPECT_TRUE(contains(r.err, "--jobs")) << bad << ": " << r.err;
    }
    clip("a.avi", 5);
    clip("b.avi", 5);
    const CliResult r = runCli(folder(), {"--jobs", "8", "-p", "raw.pf", "a.avi", "b.avi"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(test::summariseKmf(file("a.kmf")).frames.size(), 5u);
    EXPECT_EQ(test::summariseKmf(file("b.kmf")).frames.size(), 5u);
}

} // namespace
} // namespace moxel
