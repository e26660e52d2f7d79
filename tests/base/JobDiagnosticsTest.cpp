// A job whose worker block names a sink: the worker installs it, so the
// lines of the job's source (opened on the worker, decoded on the threads it
// starts) go to the job's sink and not to the process-wide one.
#include "DiagnosticCapture.h"

#include "base/DiagnosticSink.h"
#include "base/Prompt.h"
#include "jobs/BatchJob.h"
#include "jobs/JobStart.h"
#include "jobs/JobWorker.h"
#include "pipeline/VideoTables.h"
#include "settings/ProgramFolders.h"
#include "support/ClipWriter.h"
#include "support/TempDir.h"

extern "C" {
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace moxel {
namespace {

class SilentPrompt : public Prompt {
  public:
    void showMessage(const std::string&, const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    FileExistsAnswer askFileExists(const std::string&) override { return FileExistsAnswer::Yes; }
};

TEST(JobDiagnostics, TheWorkerWritesTheJobsLinesToTheJobsSink)
{
    initVideoTables();
    av_log_set_level(AV_LOG_QUIET);
    test::TempDir dir;
    ASSERT_TRUE(initialiseSettings(dir.file("moxel")));
    setOpenFailurePauseMs(0);
    test::ClipSpec spec;
    spec.frameCount = 5;
    ASSERT_TRUE(test::writeClip(dir.file("clip.avi"), spec));
    const std::string profile = dir.file("raw.pf");
    test::writeFileText(profile, "[kmfencpp]\nfriendly_name=test\nsizefix=0\n"
                                 "[kmfconfig]\naudfmt=541934416\nvidfmt=859981650\n");

    auto process = std::make_shared<test::CapturingSink>();
    auto lines = std::make_shared<test::CapturingSink>();
    const std::shared_ptr<DiagnosticSink> before = setProcessDiagnosticSink(process);
    BatchRunState run;
    SilentPrompt prompt;
    BatchJob job;
    job.reset();
    job.sourcePath = dir.file("clip.avi");
    job.destPath = dir.file("clip.kmf");
    job.workerBlock.diagnostics = lines;
    startJob(run, job, profile, prompt);
    while (job.workerBlock.workerDone.load(std::memory_order_acquire) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    setProcessDiagnosticSink(before);
    releaseSettings();

    EXPECT_EQ(job.statusValue(), JobStatus::Complete);
    bool reported = false;
    for (const test::CapturedLine& l : lines->lines())
        if (l.line == "Dshow: reported input fps=25.000000") {
            reported = true;
            EXPECT_NE(l.thread, std::this_thread::get_id());
        }
    EXPECT_TRUE(reported);
    EXPECT_TRUE(process->texts(kDshowDiagnostics).empty());
}

} // namespace
} // namespace moxel
