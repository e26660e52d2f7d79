#include "BatchTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
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
        job.setStatus(JobStatus::Initializing);
    };
    std::vector<Call> calls;

    JobStarter starter()
    {
        return [this](BatchRunState& run, BatchJob& job, const std::string& path, Prompt&) {
            calls.push_back({&job, path});
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
