// Hundreds of short jobs through one moxel-cli --batch process: every job
// completes, and the process's file descriptors, threads and resident
// memory after the last jobs are what they were after the first few. A job
// that leaves a descriptor, a thread or a picture buffer behind shows as
// growth between the two windows.
#include "CliProcess.h"
#include "ProcessWatch.h"
#include "SoakSupport.h"

#include "support/ClipWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>

namespace moxel {
namespace {

const char* const kProfileName = "Soak: RGB 320x240";
constexpr long kPictureBytes = 320 * 240 * 3;

TEST(BatchSoakTest, ManyJobsInOneProcessLeaveNothingBehind)
{
    const int jobs = test::soakCount("MOXEL_SOAK_BATCH_JOBS", 30, 12);
    test::TempDir dir;
    const std::string folder = dir.path().string();
    const std::string program =
        test::installCli(folder, test::rawProfileWith({{"friendly_name", kProfileName}}));
    test::ClipSpec spec;
    spec.videoCodec = "mpeg4";
    spec.audioCodec = "pcm_s16le";
    spec.frameCount = 8;
    std::string error;
    ASSERT_TRUE(test::writeClip(dir.file("clip.avi"), spec, &error)) << error;
    // Four destinations in turn, so the folder stays small however long the run.
    std::string batch;
    for (int i = 0; i < jobs; ++i)
        batch += dir.file("clip.avi") + "\t" + dir.file("out" + std::to_string(i % 4) + ".kmf") +
                 "\t" + kProfileName + "\r\n";
    test::writeFileText(dir.file("batch.txt"), batch);

    test::CliProcess child(folder, {"--overwrite", "--batch", dir.file("batch.txt")}, program);
    ASSERT_GT(child.pid(), 0);
    test::LineTally finished(dir.file("cli-stderr.txt"), " frames in ");
    test::ProcessWatch watch(child.pid(), std::chrono::milliseconds(20),
                             [&finished] { return finished.update(); });
    const test::CliResult result = child.finish();
    watch.stop();
    const long done = finished.update();

    EXPECT_EQ(result.exitStatus, 0) << result.err.substr(0, 4000);
    EXPECT_EQ(done, jobs) << result.err.substr(0, 4000);
    // The process at rest between jobs, after the first few (the decoders'
    // and the plug-ins' one-time set-up done) and over the last fifth.
    const long settled = std::min<long>(3, jobs / 4);
    const long window = std::max<long>(4, jobs / 5);
    const test::WindowLevel start = watch.level(settled, settled + window, 0);
    const test::WindowLevel end = watch.level(done - window, done - 1, 0);
    ASSERT_GT(start.samples, 0);
    ASSERT_GT(end.samples, 0);
    EXPECT_LE(end.fds, start.fds + 1);
    EXPECT_LE(end.threads, start.threads + 1);
    // Room for the allocator's moods, but not for a picture kept by each job
    // between the two windows. (The sanitizers' own bookkeeping grows with
    // what is freed; there the child's leak check at its exit stands in.)
    const long boundKiB = 1024 + (done - window - settled) * kPictureBytes / 4 / 1024;
    if (!test::soakSanitized()) {
        EXPECT_LT(end.rssKiB, start.rssKiB + boundKiB);
    }

    const std::string figures = "batch soak: " + std::to_string(done) + " of " +
                                std::to_string(jobs) + " jobs complete, " +
                                test::describeLevels(start, end) + " at rest (bound +" +
                                std::to_string(boundKiB) + " KiB); busy " +
                                test::describeLevels(watch.level(settled, settled + window, 1),
                                                     watch.level(done - window, done - 1, 1)) +
                                "; " + std::to_string(watch.samples().size()) + " samples";
    RecordProperty("jobs", int(done));
    RecordProperty("figures", figures);
    std::cout << figures << std::endl;
}

} // namespace
} // namespace moxel
