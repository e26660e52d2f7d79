#include "BatchTestSupport.h"

#include <gtest/gtest.h>

#include "settings/ProgramFolders.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

using namespace moxel;
using namespace moxel::test;

namespace {

// A job start that does what the test says and remembers every call.
struct FakeStarter {
    struct Call {
        BatchJob* job;
        std::string profilePath;
    };
    // What a start does to the job; by default it starts (Initializing).
    std::function<void(BatchRunState&, BatchJob&)> outcome = [](BatchRunState&, BatchJob& job) {
        job.workerBlock.workerDone = 0;
        job.workerBlock.abortRequested = 0;
        job.setStatus(JobStatus::Initializing);
    };
    std::vector<Call> calls;

    JobStarter starter()
    {
        return [this](BatchRunState& run, BatchJob& job, const std::string& path, Prompt&) {
            calls.push_back({&job, path});
            // As the job start does, before anything can go wrong.
            job.workerBlock.sourceCopy = job.sourcePath;
            job.workerBlock.destCopy = job.destPath;
            outcome(run, job);
        };
    }
};

struct SchedulerFixture {
    explicit SchedulerFixture(int jobs) : profiles(makeProfiles({"(Default)", "Web"}))
    {
        list.setView(&view);
        for (int i = 0; i < jobs; ++i) {
            BatchJob& job = list.appendJob();
            job.sourcePath = "s" + std::to_string(i);
        }
        list.rebuildView();
    }
    std::unique_ptr<ProfileFixture> profiles;
    RecordingPrompt prompt;
    FakeStarter fake;
    BatchList list{*profiles->store, prompt, fake.starter()};
    MemoryListView view;
};

TEST(Scheduler, StartsOneJobAtATimeInQueueOrder)
{
    SchedulerFixture f(3);
    f.view.select({2});
    f.list.encodeJobs(false); // s2 gets #1
    f.list.encodeJobs(true);  // s0 #2, s1 #3
    f.list.scheduleNext();
    ASSERT_EQ(f.fake.calls.size(), 1u);
    EXPECT_EQ(f.fake.calls[0].job, &f.list.job(2));
    EXPECT_EQ(f.view.status(2), "initializing"); // refreshed again after the start

    f.list.scheduleNext();
    EXPECT_EQ(f.fake.calls.size(), 1u); // still initializing
    f.list.job(2).setStatus(JobStatus::Encoding);
    f.list.scheduleNext();
    f.list.job(2).setStatus(JobStatus::Paused);
    f.list.scheduleNext();
    EXPECT_EQ(f.fake.calls.size(), 1u);

    f.list.job(2).setStatus(JobStatus::Complete);
    f.list.job(2).workerBlock.workerDone = 1;
    f.list.scheduleNext();
    ASSERT_EQ(f.fake.calls.size(), 2u);
    EXPECT_EQ(f.fake.calls[1].job, &f.list.job(0));
}

TEST(Scheduler, EqualNumbersStartTheHigherRowFirst)
{
    SchedulerFixture f(3);
    for (int i : {2, 1}) {
        f.list.job(i).queueNumber = 4;
        f.list.job(i).setStatus(JobStatus::Queued);
    }
    f.list.scheduleNext();
    ASSERT_EQ(f.fake.calls.size(), 1u);
    EXPECT_EQ(f.fake.calls[0].job, &f.list.job(1));
}

TEST(Scheduler, ASkippedJobLetsTheNextStartWithinTheSameTick)
{
    SchedulerFixture f(3);
    f.list.job(1).profileIndex = 1;
    f.list.job(2).profileIndex = 9; // outside the store
    int starts = 0;
    f.fake.outcome = [&starts](BatchRunState&, BatchJob& job) {
        job.setStatus(++starts < 3 ? JobStatus::Skipped : JobStatus::Initializing);
    };
    f.list.encodeJobs(true);
    f.list.scheduleNext();
    ASSERT_EQ(f.fake.calls.size(), 3u);
    EXPECT_EQ(f.fake.calls[0].profilePath, f.profiles->store->filePath(0));
    EXPECT_EQ(f.fake.calls[1].profilePath, f.profiles->store->filePath(1));
    EXPECT_EQ(f.fake.calls[2].profilePath, "");
    EXPECT_EQ(f.list.job(2).statusValue(), JobStatus::Initializing);
}

TEST(Scheduler, CancellingTheRunAbortsTheRemainingJobs)
{
    SchedulerFixture f(4);
    f.fake.outcome = [](BatchRunState& run, BatchJob& job) {
        run.overwriteMode = OverwriteMode::Cancelled; // "Cancel job"
        job.setStatus(JobStatus::Skipped);
    };
    f.list.encodeJobs(true);
    f.list.scheduleNext();
    EXPECT_EQ(f.fake.calls.size(), 1u);
    EXPECT_EQ(f.list.job(0).statusValue(), JobStatus::Skipped);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(f.list.job(i).statusValue(), JobStatus::Idle);
    // A new Encode asks again.
    f.fake.outcome = [](BatchRunState&, BatchJob& job) { job.setStatus(JobStatus::Skipped); };
    f.list.encodeJobs(true);
    EXPECT_EQ(f.list.runState().overwriteMode, OverwriteMode::Ask);
    f.list.scheduleNext();
    EXPECT_EQ(f.fake.calls.size(), 5u);
    EXPECT_TRUE(f.list.isFinished());
}

TEST(Scheduler, QueueNumbersAfterAnAbortStartAgainFromTheRemainingOnes)
{
    SchedulerFixture f(4);
    f.list.encodeJobs(true); // #1..#4
    f.list.scheduleNext();   // s0 starts
    f.view.select({3});
    f.list.abortJobs(false); // s3 back to idle
    f.list.encodeJobs(false);
    EXPECT_EQ(f.list.job(3).queueNumber, 4u); // largest queued is #3 (s2)
    f.view.select({1, 2});
    f.list.abortJobs(false);
    f.view.select({3});
    f.list.abortJobs(false);
    f.list.encodeJobs(true);
    EXPECT_EQ(f.list.job(1).queueNumber, 1u);
    EXPECT_EQ(f.list.job(2).queueNumber, 2u);
    EXPECT_EQ(f.list.job(3).queueNumber, 3u);
    EXPECT_EQ(f.list.job(0).statusValue(), JobStatus::Initializing); // left as it is
}

int workingJobs(const BatchList& list)
{
    int n = 0;
    for (int i = 0; i < list.count(); ++i)
        n += list.job(i).statusRow().working ? 1 : 0;
    return n;
}

void finish(BatchJob& job, JobStatus outcome = JobStatus::Complete)
{
    job.setStatus(outcome);
    job.workerBlock.workerDone = 1;
}

// Several jobs at once: never more than N running, started in queue order,
// each start a job of its own; a job that finishes frees its place for the
// next one at the next tick.
TEST(Scheduler, RunsUpToNJobsInQueueOrder)
{
    for (int n : {2, 3}) {
        SchedulerFixture f(6);
        f.list.setJobsAtOnce(n);
        f.view.select({4, 1});
        f.list.encodeJobs(false); // s1 #1, s4 #2
        f.list.encodeJobs(true);  // s0 #3, s2 #4, s3 #5, s5 #6
        const std::vector<int> order = {1, 4, 0, 2, 3, 5};
        f.list.scheduleNext();
        ASSERT_EQ(f.fake.calls.size(), size_t(n));
        EXPECT_EQ(workingJobs(f.list), n);
        f.list.scheduleNext(); // full: nothing more
        ASSERT_EQ(f.fake.calls.size(), size_t(n));
        // Jobs end in another order than they started, some failing; each
        // frees one place.
        for (size_t done = 0; f.fake.calls.size() < order.size(); ++done) {
            std::vector<BatchJob*> working;
            for (const auto& call : f.fake.calls)
                if (call.job->statusRow().working)
                    working.push_back(call.job);
            finish(done % 2 ? *working.front() : *working.back(),
                   done % 3 == 1 ? JobStatus::Error : JobStatus::Complete);
            const size_t before = f.fake.calls.size();
            f.list.scheduleNext();
            EXPECT_EQ(f.fake.calls.size(), before + 1);
            EXPECT_EQ(workingJobs(f.list), n);
        }
        ASSERT_EQ(f.fake.calls.size(), order.size());
        for (size_t i = 0; i < order.size(); ++i)
            EXPECT_EQ(f.fake.calls[i].job, &f.list.job(order[i])) << "n " << n << ", start " << i;
        std::set<BatchJob*> distinct;
        for (const auto& call : f.fake.calls)
            distinct.insert(call.job);
        EXPECT_EQ(distinct.size(), order.size());
    }
}

// A start that fails and a job that fails while running both leave the
// others running and let the queue go on.
TEST(Scheduler, AFailedJobDoesNotStopTheOthers)
{
    SchedulerFixture f(4);
    f.list.setJobsAtOnce(2);
    f.fake.outcome = [](BatchRunState&, BatchJob& job) {
        job.workerBlock.workerDone = 0;
        if (job.sourcePath == "s0")
            finish(job, JobStatus::Error); // no worker could be started
        else
            job.setStatus(JobStatus::Encoding);
    };
    f.list.encodeJobs(true);
    f.list.scheduleNext();
    ASSERT_EQ(f.fake.calls.size(), 3u); // s0 failed at once; s1 and s2 run
    EXPECT_EQ(f.list.job(0).statusValue(), JobStatus::Error);
    finish(f.list.job(1), JobStatus::Error);
    f.list.scheduleNext();
    ASSERT_EQ(f.fake.calls.size(), 4u);
    EXPECT_EQ(f.list.job(2).statusValue(), JobStatus::Encoding);
    EXPECT_EQ(f.list.job(3).statusValue(), JobStatus::Encoding);
}

// Abort reaches only the jobs it was given; a paused job keeps its place
// (it may resume), and an aborted one gives its place up once it has ended.
TEST(Scheduler, PauseAndAbortOfOneJobLeaveTheOthers)
{
    SchedulerFixture f(4);
    f.list.setJobsAtOnce(2);
    f.fake.outcome = [](BatchRunState&, BatchJob& job) {
        job.workerBlock.workerDone = 0;
        job.workerBlock.abortRequested = 0;
        job.setStatus(JobStatus::Encoding);
    };
    f.list.encodeJobs(true);
    f.list.scheduleNext();
    ASSERT_EQ(f.fake.calls.size(), 2u);

    f.list.pauseAll();
    f.view.select({1});
    f.list.encodeJobs(false); // s1 resumes
    EXPECT_EQ(f.list.job(0).statusValue(), JobStatus::Paused);
    f.list.scheduleNext();
    EXPECT_EQ(f.fake.calls.size(), 2u); // s0 is paused, not gone

    f.view.select({0});
    f.list.abortJobs(false);
    EXPECT_EQ(f.list.job(0).workerBlock.abortRequested.load(), 1u);
    EXPECT_EQ(f.list.job(1).workerBlock.abortRequested.load(), 0u);
    EXPECT_EQ(f.list.job(1).statusValue(), JobStatus::Encoding);
    f.list.scheduleNext();
    EXPECT_EQ(f.fake.calls.size(), 2u); // s0 still stopping
    finish(f.list.job(0), JobStatus::Aborted);
    f.list.scheduleNext();
    ASSERT_EQ(f.fake.calls.size(), 3u);
    EXPECT_EQ(f.fake.calls[2].job, &f.list.job(2));
    EXPECT_EQ(f.list.job(1).statusValue(), JobStatus::Encoding);
    EXPECT_EQ(f.list.job(3).statusValue(), JobStatus::Queued);
}

// A question's window lets timer ticks through: they must not start another
// job (and ask another question) before the question has its answer.
TEST(Scheduler, TicksDuringAStartsQuestionStartNothing)
{
    SchedulerFixture f(3);
    f.list.setJobsAtOnce(3);
    size_t startsSeenInside = 0;
    f.fake.outcome = [&f, &startsSeenInside](BatchRunState&, BatchJob& job) {
        const size_t before = f.fake.calls.size();
        f.list.scheduleNext(); // a tick while "File Exists" is open
        startsSeenInside += f.fake.calls.size() - before;
        job.workerBlock.workerDone = 0;
        job.setStatus(JobStatus::Encoding);
    };
    f.list.encodeJobs(true);
    f.list.scheduleNext();
    EXPECT_EQ(f.fake.calls.size(), 3u); // the tick that asked goes on after the answer
    EXPECT_EQ(startsSeenInside, 0u);
}

// "Cancel job" stops the queue; jobs already running were not waiting for
// the answer and go on.
TEST(Scheduler, CancellingWhileOthersRunKeepsThemRunning)
{
    SchedulerFixture f(4);
    f.list.setJobsAtOnce(3);
    f.fake.outcome = [](BatchRunState& run, BatchJob& job) {
        job.workerBlock.workerDone = 0;
        if (job.sourcePath == "s1") {
            run.overwriteMode = OverwriteMode::Cancelled;
            finish(job, JobStatus::Skipped);
        } else {
            job.setStatus(JobStatus::Encoding);
        }
    };
    f.list.encodeJobs(true);
    f.list.scheduleNext();
    ASSERT_EQ(f.fake.calls.size(), 2u);
    EXPECT_EQ(f.list.job(0).statusValue(), JobStatus::Encoding);
    EXPECT_EQ(f.list.job(0).workerBlock.abortRequested.load(), 0u);
    EXPECT_EQ(f.list.job(2).statusValue(), JobStatus::Idle);
    EXPECT_EQ(f.list.job(3).statusValue(), JobStatus::Idle);
}

// Two jobs never write the same file at once, whatever the name says: the
// later one waits for the earlier one's worker to end, and other jobs go on.
TEST(Scheduler, AJobWaitsWhileAnotherUsesItsOutputFile)
{
    namespace fs = std::filesystem;
    test::TempDir dir;
    fs::create_directories(dir.file("real"));
    fs::create_directory_symlink(dir.file("real"), dir.file("link"));
    SchedulerFixture f(5);
    f.list.setJobsAtOnce(5);
    f.list.job(0).destPath = dir.file("real/a.kmf");
    f.list.job(1).destPath = dir.file("link/../real/./a.kmf"); // the same file
    f.list.job(2).destPath = dir.file("real/b.kmf");
    f.list.job(3).sourcePath = dir.file("link/b.kmf"); // reads what s2 writes
    f.list.job(3).destPath = dir.file("real/c.kmf");
    f.list.job(4).destPath = "qz:127.0.0.1:9:header.txt"; // writes no file
    f.list.encodeJobs(true);
    f.list.scheduleNext();
    ASSERT_EQ(f.fake.calls.size(), 3u);
    EXPECT_EQ(f.fake.calls[0].job, &f.list.job(0));
    EXPECT_EQ(f.fake.calls[1].job, &f.list.job(2));
    EXPECT_EQ(f.fake.calls[2].job, &f.list.job(4));
    EXPECT_EQ(f.list.job(1).statusValue(), JobStatus::Queued);

    // Complete, but the worker still finishes (renames) the file.
    f.list.job(0).setStatus(JobStatus::Complete);
    f.list.scheduleNext();
    EXPECT_EQ(f.fake.calls.size(), 3u);
    f.list.job(0).workerBlock.workerDone = 1;
    finish(f.list.job(2));
    f.list.scheduleNext();
    ASSERT_EQ(f.fake.calls.size(), 5u);
    EXPECT_EQ(f.fake.calls[3].job, &f.list.job(1));
    EXPECT_EQ(f.fake.calls[4].job, &f.list.job(3));
}

// Without a number of its own the list follows the preference, read at
// every tick; values below 1 count as 1.
TEST(Scheduler, FollowsTheJobsAtOncePreferenceAtTheNextTick)
{
    test::TempDir dir;
    auto saved = std::move(programFolders().settings);
    programFolders().settings = std::make_unique<SettingsFile>(dir.file("moxel.ini"));
    {
        SchedulerFixture f(4);
        f.list.encodeJobs(true);
        f.list.scheduleNext();
        EXPECT_EQ(f.fake.calls.size(), 1u); // the default
        programFolders().settings->setInt("prefs_jobs", 3);
        f.list.scheduleNext();
        EXPECT_EQ(f.fake.calls.size(), 3u);
        programFolders().settings->setInt("prefs_jobs", 0);
        finish(f.list.job(0));
        finish(f.list.job(1));
        f.list.scheduleNext();
        EXPECT_EQ(f.fake.calls.size(), 3u); // s2 still runs: one at a time again
        finish(f.list.job(2));
        f.list.scheduleNext();
        EXPECT_EQ(f.fake.calls.size(), 4u);
    }
    programFolders().settings = std::move(saved);
}

// Real worker threads finishing at their own pace while the scheduler ticks:
// at no moment do more than N run, and every job runs once.
TEST(Scheduler, ThreadedWorkersNeverExceedTheLimit)
{
    constexpr int kJobs = 12;
    constexpr int kLimit = 3;
    SchedulerFixture f(kJobs);
    f.list.setJobsAtOnce(kLimit);
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    std::vector<std::thread> workers;
    f.fake.outcome = [&](BatchRunState&, BatchJob& job) {
        job.workerBlock.workerDone = 0;
        job.setStatus(JobStatus::Initializing);
        const int pause = int(workers.size() % 4) * 3;
        workers.emplace_back([&job, &running, &most, pause] {
            const int now = running.fetch_add(1) + 1;
            int seen = most.load();
            while (seen < now && !most.compare_exchange_weak(seen, now)) {
            }
            job.setStatus(JobStatus::Encoding);
            std::this_thread::sleep_for(std::chrono::milliseconds(pause));
            running.fetch_sub(1);
            job.setStatus(JobStatus::Complete);
            job.workerBlock.workerDone.store(1, std::memory_order_release);
        });
    };
    f.list.encodeJobs(true);
    while (!f.list.isFinished()) {
        f.list.scheduleNext();
        EXPECT_LE(workingJobs(f.list), kLimit);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(f.fake.calls.size(), size_t(kJobs));
    EXPECT_LE(most.load(), kLimit);
    for (int i = 0; i < kJobs; ++i)
        EXPECT_EQ(f.list.job(i).statusValue(), JobStatus::Complete);
}

// The worker's last status write races the user's pause and resume. A pause
// must never replace Complete, and a resume never a worker's Aborted.
TEST(PauseRace, PauseAndResumeNeverOverwriteTheWorkersFinalStatus)
{
    constexpr int kJobs = 200;
    SchedulerFixture f(1);
    for (int round = 0; round < kJobs; ++round) {
        BatchJob& job = f.list.job(0);
        job.workerBlock.workerDone = 0;
        job.setStatus(JobStatus::Encoding);
        const JobStatus last = round % 2 ? JobStatus::Complete : JobStatus::Aborted;
        std::atomic<bool> go{false};
        std::thread worker([&job, &go, last] {
            while (!go.load(std::memory_order_acquire))
                std::this_thread::yield();
            job.setStatus(last);
            job.workerBlock.workerDone.store(1, std::memory_order_release);
        });
        go.store(true, std::memory_order_release);
        while (job.workerBlock.workerDone.load(std::memory_order_acquire) == 0) {
            f.list.pauseAll();
            f.list.unpauseAll();
        }
        worker.join();
        f.list.pauseAll();
        f.list.unpauseAll();
        ASSERT_EQ(job.statusValue(), last) << "round " << round;
    }
}

} // namespace
