// The job start's questions and the worker's control: pause, resume and
// abort on a scripted source, the catch-all, a worker that cannot start,
// stream destinations, which are not files and which tell in the job's
// status and lines when their server did not get every frame, and what
// each end of a job leaves of a file that was there before it.
#include "DiagnosticCapture.h"
#include "DriverTestSupport.h"

#include "jobs/JobStatusText.h"
#include "jobs/StreamOutcome.h"
#include "sources/MediaSource.h"
#include "sources/SourceHolder.h"
#include "support/FreePort.h"
#include "tools/kmf-receive/KmfReceiver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace moxel {
namespace {

using test::ClipSpec;

using DriverControlTest = test::DriverTest;
namespace fs = std::filesystem;

// Blocks a thread at a point until the test lets it go on.
class Gate {
  public:
    void arriveAndWait()
    {
        std::unique_lock lock(m_mutex);
        m_arrived = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_open; });
    }
    void waitForArrival()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_arrived; });
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_arrived = false;
    bool m_open = false;
};

// 16x16 pictures at 25 fps, no sound; `pictures` of them (-1: no end). At
// picture `stopAt` it waits at the gate; at `throwAt` it throws. It notes
// any call made while the job is paused. With stalledSound it has sound
// only, and that never comes nor ends.
class ScriptedSource : public MediaSource {
  public:
    ScriptedSource(const BatchJob& job, int pictures) : m_job(job), m_pictures(pictures) {}

    bool open(const std::string&, const std::string& profilePath) override
    {
        beginOpen(profilePath);
        hasAudio = stalledSound;
        hasVideo = !stalledSound;
        inWidth = outWidth = 16;
        inHeight = outHeight = 16;
        inFrameRate = frameRate = 25.0;
        m_picture.assign(16 * 16 * 4, 0x80);
        return true;
    }
    int getVideoFrame(const uint8_t** picture) override
    {
        *picture = nullptr;
        if (m_job.statusValue() == JobStatus::Paused)
            callsWhilePaused.fetch_add(1);
        if (m_pictures >= 0 && m_index >= m_pictures)
            return 0;
        if (m_index == stopAt)
            gate.arriveAndWait();
        if (m_index == throwAt)
            throw std::runtime_error("decoder fault");
        ++m_index;
        *picture = m_picture.data();
        return 1;
    }
    int getAudio(uint8_t*, int, int* length) override
    {
        *length = 0;
        return stalledSound ? 1 : 0;
    }
    int close() override { return 1; }
    int setOption(const char*, int) override { return 1; }
    int setOption(const char*, double) override { return 1; }

    int stopAt = -1;
    int throwAt = -1;
    bool stalledSound = false;
    Gate gate;
    std::atomic<int> callsWhilePaused{0};

  private:
    const BatchJob& m_job;
    int m_pictures;
    int m_index = 0;
    std::vector<uint8_t> m_picture;
};

// Temporaries left in a folder: its hidden names.
size_t hiddenFiles(const fs::path& folder)
{
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        count += entry.path().filename().string()[0] == '.';
    return count;
}

class ScriptedJob {
  public:
    ScriptedJob(test::DriverTest& test, const std::string& dest, int pictures)
        : job(std::make_unique<BatchJob>())
    {
        job->reset();
        job->sourcePath = "scripted";
        job->destPath = dest;
        auto made = std::make_unique<ScriptedSource>(*job, pictures);
        source = made.get();
        m_source = std::move(made);
        (void)test;
    }
    // Starts the job with the scripted source in its holder.
    void start(BatchRunState& run, const std::string& profile, Prompt& prompt)
    {
        startJob(run, *job, profile, prompt, [this](JobWorkerBlock* block) {
            block->source->adopt(std::move(m_source));
            return startWorkerThread(block);
        });
    }
    bool pause()
    {
        uint32_t expected = uint32_t(JobStatus::Encoding);
        return job->status.compare_exchange_strong(expected, uint32_t(JobStatus::Paused));
    }
    bool resume()
    {
        uint32_t expected = uint32_t(JobStatus::Paused);
        return job->status.compare_exchange_strong(expected, uint32_t(JobStatus::Encoding));
    }

    std::unique_ptr<BatchJob> job;
    ScriptedSource* source = nullptr; // owned by the job's holder once started

  private:
    std::unique_ptr<MediaSource> m_source;
};

TEST_F(DriverControlTest, PauseStopsFramesUntilResumeAndTheJobThenCompletes)
{
    ScriptedJob s(*this, file("paused.kmf"), 20);
    s.source->stopAt = 5;
    s.start(m_run, profile(test::uncompressedKeys()), m_prompt);
    s.source->gate.waitForArrival();
    ASSERT_TRUE(s.pause()); // the worker is inside its sixth turn
    s.source->gate.open();
    // Longer than one paused turn: a worker that went on would have asked
    // for pictures by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(s.job->workerBlock.framesProduced.load(), 6u);
    EXPECT_EQ(s.job->statusValue(), JobStatus::Paused);
    ASSERT_TRUE(s.resume());
    test::waitForWorker(*s.job);
    EXPECT_EQ(s.job->statusValue(), JobStatus::Complete);
    EXPECT_EQ(test::summariseKmf(file("paused.kmf")).frames.size(), 20u);
}

TEST_F(DriverControlTest, AbortWhilePausedEndsTheJobWithItsFileFinished)
{
    // The partial file an abort asks for replaces the one that was there.
    test::writeFileText(file("aborted.kmf"), "old");
    ScriptedJob s(*this, file("aborted.kmf"), -1);
    s.source->stopAt = 3;
    s.start(m_run, profile(test::uncompressedKeys()), m_prompt);
    s.source->gate.waitForArrival();
    ASSERT_TRUE(s.pause());
    s.source->gate.open();
    s.job->workerBlock.abortRequested.store(1);
    EXPECT_TRUE(s.job->isAborting() || s.job->workerBlock.workerDone.load());
    test::waitForWorker(*s.job);
    EXPECT_EQ(s.job->statusValue(), JobStatus::Aborted);
    EXPECT_TRUE(s.job->isSettled());
    EXPECT_FALSE(s.job->isAborting());
    const test::KmfSummary k = test::summariseKmf(file("aborted.kmf"));
    ASSERT_TRUE(k.ok) << k.error;
    EXPECT_EQ(k.frames.size(), 4u);
    EXPECT_EQ(k.header.fileSize, k.fileBytes);
    EXPECT_EQ(k.header.lengthMs, 160u);
}

TEST_F(DriverControlTest, AbortWhileEncodingStopsAfterTheFrameInHand)
{
    ScriptedJob s(*this, file("abort.kmf"), -1);
    s.source->stopAt = 10;
    s.start(m_run, profile(test::uncompressedKeys()), m_prompt);
    s.source->gate.waitForArrival();
    s.job->workerBlock.abortRequested.store(1);
    s.source->gate.open();
    test::waitForWorker(*s.job);
    EXPECT_EQ(s.job->statusValue(), JobStatus::Aborted);
    EXPECT_EQ(test::summariseKmf(file("abort.kmf")).frames.size(), 11u);
    EXPECT_EQ(s.job->progress.load(), 11 * 800);
    EXPECT_EQ(m_prompt.entries().size(), 0u);
}

TEST_F(DriverControlTest, AnExceptionInTheLoopIsAnErrorThatLeavesTheEarlierFile)
{
    test::writeFileText(file("thrown.kmf"), "old");
    setSetting("prefs_overwrite", 1);
    ScriptedJob s(*this, file("thrown.kmf"), -1);
    s.source->throwAt = 3;
    s.start(m_run, profile(test::uncompressedKeys()), m_prompt);
    test::waitForWorker(*s.job);
    EXPECT_EQ(s.job->statusValue(), JobStatus::Error);
    const auto entries = m_prompt.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].title, "ERROR");
    EXPECT_EQ(entries[0].text, "unknown exception while converting file:\nscripted\n\n"
                               "The input file might be corrupt. (?)");
    EXPECT_EQ(test::readFileText(file("thrown.kmf")), "old");
    EXPECT_EQ(hiddenFiles(m_dir.path()), 0u);
}

TEST_F(DriverControlTest, AJobThatCannotOpenItsOutputLeavesTheEarlierFileByteForByte)
{
    std::vector<uint8_t> earlier(100000);
    for (size_t i = 0; i < earlier.size(); ++i)
        earlier[i] = uint8_t(i * 7 + i / 251);
    const std::string dest = file("earlier.kmf");
    const struct {
        const char* name;
        test::Keys keys;
        const char* message;
    } cases[] = {
        {"no coder for the format", test::uncompressedKeys({{"vidfmt", "1515870810"}}),
         "openOutput: error creating video compressor"},
        {"no codec chosen", test::uncompressedKeys({{"vidfmt", "0"}}),
         "error: no output video codec selected"},
        {"a header of 4 GiB", test::uncompressedKeys({{"hdrtoc", "1073741824"}}),
         "openOutput: hdrtoc is too large for the file header"},
    };
    setSetting("prefs_overwrite", 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFileBytes(dest, earlier);
        ScriptedJob s(*this, dest, 5);
        s.start(m_run, profile(c.keys), m_prompt);
        test::waitForWorker(*s.job);
        EXPECT_EQ(s.job->statusValue(), JobStatus::Error);
        EXPECT_EQ(m_prompt.entries().back().text, c.message);
        EXPECT_EQ(test::readFileBytes(dest), earlier);
        EXPECT_EQ(hiddenFiles(m_dir.path()), 0u);
    }
    // Without an earlier file none is made.
    fs::remove(dest);
    ScriptedJob s(*this, dest, 5);
    s.start(m_run, profile(test::uncompressedKeys({{"hdrtoc", "1073741824"}})), m_prompt);
    test::waitForWorker(*s.job);
    EXPECT_FALSE(fs::exists(dest));
    EXPECT_EQ(hiddenFiles(m_dir.path()), 0u);
}

TEST_F(DriverControlTest, AFolderIsNoDestinationAndAPipeIsNoFileToAskAbout)
{
    fs::create_directory(file("folder.kmf"));
    ScriptedJob folder(*this, file("folder.kmf"), 5);
    folder.start(m_run, profile(test::uncompressedKeys()), m_prompt);
    test::waitForWorker(*folder.job);
    EXPECT_EQ(folder.job->statusValue(), JobStatus::Error);
    EXPECT_FALSE(folder.job->workerBlock.encoder);
    ASSERT_EQ(m_prompt.entries().size(), 1u);
    EXPECT_EQ(m_prompt.entries()[0].text, "The destination:   " + file("folder.kmf") +
                                              "\nis a folder.  The job cannot "
                                              "write over it.");

    // /dev/null exists, but writing to it replaces nothing: no question.
    ScriptedJob device(*this, "/dev/null", 5);
    device.start(m_run, profile(test::uncompressedKeys()), m_prompt);
    test::waitForWorker(*device.job);
    EXPECT_EQ(device.job->statusValue(), JobStatus::Complete);
    EXPECT_EQ(m_prompt.entries().size(), 1u);
}

TEST_F(DriverControlTest, ASourceThatStallsEndsWithAnErrorAndLeavesNoFile)
{
    ScriptedJob s(*this, file("stalled.kmf"), -1);
    s.source->stalledSound = true;
    s.start(m_run, profile(test::uncompressedKeys()), m_prompt);
    test::waitForWorker(*s.job);
    EXPECT_EQ(s.job->statusValue(), JobStatus::Error);
    ASSERT_EQ(m_prompt.count("message"), 1u);
    EXPECT_EQ(m_prompt.entries()[0].title, "encoding error:");
    EXPECT_EQ(m_prompt.entries()[0].text,
              "conversion stalled: no picture and no sound for 10000 frames in a row");
    // A job that ends in error leaves no file of its own behind.
    EXPECT_FALSE(fs::exists(file("stalled.kmf")));
}

TEST_F(DriverControlTest, AWorkerThatCannotStartLeavesASettledError)
{
    auto job = this->job(clip("v.avi", ClipSpec{}), file("never.kmf"));
    startJob(m_run, *job, profile(test::uncompressedKeys()), m_prompt,
             [](JobWorkerBlock*) { return false; });
    EXPECT_EQ(job->statusValue(), JobStatus::Error);
    EXPECT_EQ(job->workerBlock.workerDone.load(), 1u);
    EXPECT_TRUE(job->isSettled());
    EXPECT_FALSE(job->workerBlock.source);
    EXPECT_FALSE(job->workerBlock.encoder);
    EXPECT_FALSE(job->workerBlock.config);
    EXPECT_FALSE(fs::exists(file("never.kmf")));
}

TEST_F(DriverControlTest, AMissingOutputFolderIsAskedForOrMadeByThePreference)
{
    const std::string source = clip("v.avi", ClipSpec{});
    const std::string uncompressed = profile(test::uncompressedKeys());
    const std::string folder = file("out/deeper");

    m_prompt.yesNoAnswer = false;
    auto declined = job(source, folder + "/a.kmf");
    startJob(m_run, *declined, uncompressed, m_prompt);
    EXPECT_EQ(declined->statusValue(), JobStatus::Skipped);
    EXPECT_FALSE(declined->workerBlock.encoder);
    EXPECT_FALSE(fs::exists(file("out")));
    auto entries = m_prompt.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].title, "Create new folder?");
    EXPECT_EQ(entries[0].text,
              "The output path: " + folder + "\ndoes not exist.  Create a new folder?");

    m_prompt.yesNoAnswer = true;
    auto accepted = job(source, folder + "/b.kmf");
    EXPECT_EQ(run(*accepted, uncompressed), JobStatus::Complete);
    EXPECT_TRUE(fs::exists(folder + "/b.kmf"));

    setSetting("prefs_mkdir", 1);
    auto made = job(source, file("other/c.kmf"));
    EXPECT_EQ(run(*made, uncompressed), JobStatus::Complete);
    EXPECT_TRUE(fs::exists(file("other/c.kmf")));
    EXPECT_EQ(m_prompt.count("yesno"), 2u);
}

TEST_F(DriverControlTest, FileExistsAnswersDecideTheJobAndTheRun)
{
    const std::string source = clip("v.avi", ClipSpec{});
    const std::string uncompressed = profile(test::uncompressedKeys());
    const std::string dest = file("old.kmf");
    auto startWith = [&](FileExistsAnswer answer) {
        test::writeFileText(dest, "old");
        m_prompt.fileExistsAnswer = answer;
        auto record = job(source, dest);
        run(*record, uncompressed);
        return record->statusValue();
    };

    EXPECT_EQ(startWith(FileExistsAnswer::No), JobStatus::Skipped);
    EXPECT_EQ(test::readFileText(dest), "old");
    EXPECT_EQ(m_run.overwriteMode, OverwriteMode::Ask);
    EXPECT_EQ(m_run.promptText, "The destination file:   " + dest +
                                    "\nalready exists.  Overwrite it?\n\nClick 'Cancel job' to "
                                    "abort processing remaining files.");

    EXPECT_EQ(startWith(FileExistsAnswer::Yes), JobStatus::Complete);
    EXPECT_TRUE(test::summariseKmf(dest).ok);
    EXPECT_EQ(m_run.overwriteMode, OverwriteMode::Ask);

    EXPECT_EQ(startWith(FileExistsAnswer::CancelJob), JobStatus::Skipped);
    EXPECT_EQ(m_run.overwriteMode, OverwriteMode::Cancelled);
    EXPECT_EQ(test::readFileText(dest), "old");

    m_run.overwriteMode = OverwriteMode::Ask;
    EXPECT_EQ(startWith(FileExistsAnswer::OverwriteAll), JobStatus::Complete);
    EXPECT_EQ(m_run.overwriteMode, OverwriteMode::OverwriteAll);
    const size_t asked = m_prompt.count("exists");
    // The rest of the run is not asked again, whatever the answer would be.
    EXPECT_EQ(startWith(FileExistsAnswer::No), JobStatus::Complete);
    EXPECT_EQ(m_prompt.count("exists"), asked);

    m_run.overwriteMode = OverwriteMode::Ask;
    setSetting("prefs_overwrite", 1);
    EXPECT_EQ(startWith(FileExistsAnswer::No), JobStatus::Complete);
    EXPECT_EQ(m_prompt.count("exists"), asked);
}

TEST_F(DriverControlTest, TheSourceIsNeverItsOwnDestination)
{
    const std::string source = clip("self.avi", ClipSpec{});
    const std::vector<uint8_t> before = test::readFileBytes(source);
    setSetting("prefs_overwrite", 1);
    auto record = job(source, m_dir.path().string() + "/./self.avi");
    run(*record, profile(test::uncompressedKeys()));
    EXPECT_EQ(record->statusValue(), JobStatus::Skipped);
    EXPECT_EQ(test::readFileBytes(source), before);
    ASSERT_EQ(m_prompt.count("message"), 1u);
    EXPECT_EQ(m_prompt.entries()[0].title, "Error");
}

TEST_F(DriverControlTest, AStreamDestinationIsNoFileToAskAbout)
{
    const std::string uncompressed = profile(test::uncompressedKeys());
    auto preflight = [&](const std::string& dest) {
        auto record = job(file("v.avi"), dest);
        // Only the job start's checks: no worker runs.
        startJob(m_run, *record, uncompressed, m_prompt, [](JobWorkerBlock*) { return false; });
    };
    const std::string server = "qz:127.0.0.1:9:" + file("missing/header.txt");
    preflight(server);
    preflight("brox:localhost:8000:" + file("missing/header.txt"));
    EXPECT_EQ(m_prompt.entries().size(), 0u);
    EXPECT_FALSE(fs::exists(server.substr(0, server.find_last_of('/'))));
    EXPECT_FALSE(fs::exists("qz:127.0.0.1:9:"));

    // The copy file is a file: its folder and its existence are checked.
    m_prompt.yesNoAnswer = false;
    preflight(server + "+" + file("copies/copy.kmf"));
    auto entries = m_prompt.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text,
              "The output path: " + file("copies") + "\ndoes not exist.  Create a new folder?");
    test::writeFileText(file("copy.kmf"), "old");
    preflight(server + "+" + file("copy.kmf"));
    entries = m_prompt.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].kind, "exists");
    EXPECT_EQ(entries[1].text.find("The destination file:   " + file("copy.kmf") + "\n"), 0u);
}

TEST_F(DriverControlTest, AStreamJobTellsWhetherItsServerGotTheFrames)
{
    ClipSpec spec;
    spec.width = 32;
    spec.height = 24;
    spec.frameCount = 5;
    const std::string source = clip("v.avi", spec);
    test::writeFileText(file("header.txt"), "icy-name:job\n");
    const std::string uncompressed = profile(test::uncompressedKeys());
    auto streamTo = [&](int port) {
        return "qz:127.0.0.1:" + std::to_string(port) + ":" + file("header.txt");
    };

    const int nobody = test::unusedPort();
    auto lines = std::make_shared<test::CapturingSink>();
    auto lost = job(source, streamTo(nobody));
    lost->workerBlock.diagnostics = lines;
    EXPECT_EQ(run(*lost, uncompressed), JobStatus::Complete);
    EXPECT_EQ(statusText(*lost), "complete [00:00], stream never connected");
    EXPECT_TRUE(streamReachedNothing(lost->workerBlock));
    const std::vector<std::string> qz = lines->texts(kQzDiagnostics);
    EXPECT_NE(std::find(qz.begin(), qz.end(),
                        "[qz] never connected to 127.0.0.1:" + std::to_string(nobody) +
                            "; 5 frames not sent"),
              qz.end());

    KmfReceiver server;
    ASSERT_TRUE(server.start(ReceiverOptions{}));
    auto sent = job(source, streamTo(server.port()));
    EXPECT_EQ(run(*sent, uncompressed), JobStatus::Complete);
    EXPECT_EQ(statusText(*sent), "complete [00:00]");
    EXPECT_FALSE(streamReachedNothing(sent->workerBlock));
    ASSERT_TRUE(sent->workerBlock.streamStats.has_value());
    EXPECT_EQ(sent->workerBlock.streamStats->framesSent, 5u);
}

} // namespace
} // namespace moxel
