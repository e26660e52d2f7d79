// What a job keeps of its run: the messages it gave (its error text), given
// without waiting so that a failing job never holds up the queue; its
// counters, read before the source and encoder go; its lines and times.
#include "DriverTestSupport.h"

#include "jobs/BatchList.h"
#include "jobs/ProfileStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <thread>

namespace moxel {
namespace {

using JobLogTest = test::DriverTest;

// Answers messages as a box that nobody closes would: showMessage waits until
// the test lets it go. notify() never waits; its messages are recorded.
class UnansweredPrompt : public Prompt {
  public:
    void showMessage(const std::string& title, const std::string& text) override
    {
        std::unique_lock lock(m_mutex);
        m_waited.push_back(title + ": " + text);
        m_changed.wait(lock, [&] { return m_released; });
    }
    void notify(const std::string& title, const std::string& text) override
    {
        std::lock_guard lock(m_mutex);
        m_notified.push_back(title + ": " + text);
    }
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    FileExistsAnswer askFileExists(const std::string&) override { return FileExistsAnswer::Yes; }

    void release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    std::vector<std::string> notified() const
    {
        std::lock_guard lock(m_mutex);
        return m_notified;
    }
    size_t waited() const
    {
        std::lock_guard lock(m_mutex);
        return m_waited.size();
    }

  private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_released = false;
    std::vector<std::string> m_notified;
    std::vector<std::string> m_waited;
};

TEST_F(JobLogTest, ASourceThatCannotBeOpenedEndsInErrorAndTheQueueGoesOnUnanswered)
{
    test::ClipSpec spec;
    spec.frameCount = 5;
    const std::string missing = file("missing.avi");
    const std::string second = clip("second.avi", spec);
    const std::string third = clip("third.avi", spec);
    const std::string profilePath = profile(test::uncompressedKeys());

    ProfileStore store;
    UnansweredPrompt prompt;
    BatchList list(store, prompt,
                   [&](BatchRunState& run, BatchJob& job, const std::string&, Prompt& jobPrompt) {
                       startJob(run, job, profilePath, jobPrompt);
                   });
    for (const std::string& source : {missing, second, third}) {
        BatchJob& job = list.appendJob();
        job.sourcePath = source;
        job.destPath = source + ".kmf";
    }
    list.encodeJobs(true);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!list.isFinished() && std::chrono::steady_clock::now() < giveUp) {
        list.scheduleNext();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const bool finished = list.isFinished();
    prompt.release(); // a worker waiting on a box goes on, whatever happened
    list.waitUntilSettled(5000);
    ASSERT_TRUE(finished) << "the queue stopped at a message";

    EXPECT_EQ(prompt.waited(), 0u);
    const std::string message = "Error: DirectShow: error opening input file/stream:\n" + missing;
    EXPECT_EQ(prompt.notified(), std::vector<std::string>{message});
    const BatchJob& failed = list.job(0);
    EXPECT_EQ(failed.statusValue(), JobStatus::Error);
    EXPECT_EQ(failed.workerBlock.log.errorText(), message);
    const JobLogSnapshot log = failed.workerBlock.log.snapshot();
    ASSERT_TRUE(log.started && log.ended);
    EXPECT_LE(*log.started, *log.ended);
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines.back().line, message);
    ASSERT_TRUE(log.counters);
    EXPECT_EQ(log.counters->picturesWritten, 0);
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(list.job(i).statusValue(), JobStatus::Complete) << i;
        EXPECT_EQ(list.job(i).workerBlock.log.errorText(), "") << i;
    }
}

TEST_F(JobLogTest, TheCountersOfAFinishedJobAreKeptAfterItsSourceAndEncoderHaveGone)
{
    test::ClipSpec spec;
    spec.frameCount = 10; // 0.4 s at 25 fps
    spec.audioCodec = "pcm_s16le";
    const std::string source = clip("counted.avi", spec);
    auto job = this->job(source, file("counted.kmf"));
    ASSERT_EQ(run(*job, profile(test::uncompressedKeys())), JobStatus::Complete);
    EXPECT_FALSE(job->workerBlock.source);
    EXPECT_FALSE(job->workerBlock.encoder);

    const JobLogSnapshot log = job->workerBlock.log.snapshot();
    ASSERT_TRUE(log.counters);
    const JobCounters& c = *log.counters;
    EXPECT_EQ(c.picturesWritten, 10);
    EXPECT_EQ(c.framesWritten, 10);
    EXPECT_EQ(c.bytesWritten, int64_t(std::filesystem::file_size(file("counted.kmf"))));
    EXPECT_GT(c.soundMs, 0);
    EXPECT_LE(c.soundMs, 450);
    EXPECT_EQ(c.damagedPackets, 0);
    EXPECT_EQ(c.endedEarlyAtMs, -1);
    EXPECT_EQ(c.stream, 0);
    EXPECT_EQ(log.errorText, "");
    // The source's own lines went to the job's log.
    bool fps = false;
    for (const KeptDiagnosticLine& line : log.lines)
        fps = fps || line.line.rfind("Dshow: reported input fps=", 0) == 0;
    EXPECT_TRUE(fps);
}

TEST_F(JobLogTest, ASkippedJobKeepsTheQuestionAndItsAnswerAndANewStartForgetsTheLastRun)
{
    test::ClipSpec spec;
    spec.frameCount = 3;
    const std::string source = clip("again.avi", spec);
    const std::string dest = file("again.kmf");
    test::writeFileText(dest, "old");
    const std::string profilePath = profile(test::uncompressedKeys());
    m_prompt.fileExistsAnswer = FileExistsAnswer::No;
    auto job = this->job(source, dest);
    ASSERT_EQ(run(*job, profilePath), JobStatus::Skipped);
    JobLogSnapshot log = job->workerBlock.log.snapshot();
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].line.find("File Exists: The destination file:   " + dest),
              std::string::npos);
    EXPECT_NE(log.lines[0].line.find("\n-> No"), std::string::npos);
    EXPECT_FALSE(log.counters);
    EXPECT_TRUE(log.ended);

    m_prompt.fileExistsAnswer = FileExistsAnswer::Yes;
    ASSERT_EQ(run(*job, profilePath), JobStatus::Complete);
    log = job->workerBlock.log.snapshot();
    EXPECT_NE(log.lines[0].line.find("\n-> Yes"), std::string::npos);
    EXPECT_EQ(log.counters->picturesWritten, 3);

    job->reset();
    EXPECT_FALSE(job->workerBlock.log.snapshot().started);
}

} // namespace
} // namespace moxel
