// The pieces of moxel-cli that need no child process: the progress
// arithmetic and texts, and the block format.
#include "tools/moxel-cli/CliOptions.h"
#include "tools/moxel-cli/JobProgress.h"
#include "tools/moxel-cli/ProgressWriter.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace moxel::cli {
namespace {

TEST(JobProgress, StatusTextsAndEstimates)
{
    BatchJob job;
    job.setStatus(JobStatus::Encoding);
    job.progress = 20000 * 5;
    job.workerBlock.durationMs = 10000;
    job.workerBlock.framesProduced = 125;
    JobProgress p = readProgress(job, 2.5);
    EXPECT_EQ(statusText(p), "encoding [00:05]");
    EXPECT_DOUBLE_EQ(p.percent, 50.0);
    EXPECT_DOUBLE_EQ(p.secondsLeft, 2.5);
    EXPECT_DOUBLE_EQ(p.fps, 50.0);
    job.workerBlock.abortRequested = 1;
    EXPECT_EQ(statusText(readProgress(job, 2.5)), "aborting");
    job.workerBlock.workerDone = 1;
    job.setStatus(JobStatus::Aborted);
    EXPECT_EQ(statusText(readProgress(job, 2.5)), "aborted by user");

    BatchJob unknownLength;
    unknownLength.setStatus(JobStatus::Encoding);
    EXPECT_LT(readProgress(unknownLength, 1.0).percent, 0);
}

TEST(ProgressWriter, TheLastBlockOfTheRunEndsIt)
{
    test::TempDir dir;
    {
        ProgressWriter writer;
        ASSERT_TRUE(writer.open(dir.file("p.txt")));
        JobProgress p;
        p.status = JobStatus::Encoding;
        p.mediaSeconds = 3725.5;
        writer.update(1, "a\nb.avi", p);
        p.status = JobStatus::Complete;
        writer.jobEnded(1, "a\nb.avi", p);
        p.status = JobStatus::Skipped;
        writer.jobEnded(2, "c.avi", p);
    }
    const std::string text = test::readFileText(dir.file("p.txt"));
    EXPECT_EQ(text, "job=1\nsource=a?b.avi\nframe=0\nfps=0.00\nout_time_us=3725500000\n"
                    "out_time=01:02:05.500000\npercent=N/A\nstatus=encoding\nprogress=continue\n"
                    "job=1\nsource=a?b.avi\nframe=0\nfps=0.00\nout_time_us=3725500000\n"
                    "out_time=01:02:05.500000\npercent=N/A\nstatus=complete\nprogress=continue\n"
                    "job=2\nsource=c.avi\nframe=0\nfps=0.00\nout_time_us=3725500000\n"
                    "out_time=01:02:05.500000\npercent=N/A\nstatus=skipped\nprogress=end\n");
}

} // namespace
} // namespace moxel::cli
