#include "BatchTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <thread>

using namespace moxel;
using namespace moxel::test;

namespace {

// A list of jobs named s0.avi, s1.avi, ... shown in a memory view.
struct ListFixture {
    explicit ListFixture(int jobs = 0) : profiles(makeProfiles({"(Default)", "Web"}))
    {
        list.setView(&view);
        for (int i = 0; i < jobs; ++i)
            add("s" + std::to_string(i) + ".avi");
        list.rebuildView();
    }
    BatchJob& add(const std::string& source)
    {
        BatchJob& job = list.appendJob();
        job.sourcePath = source;
        job.destPath = source + ".kmf";
        return job;
    }
    // A job whose worker has gone, in status s.
    void finish(int i, JobStatus s)
    {
        list.job(i).setStatus(s);
        list.job(i).workerBlock.workerDone = 1;
    }
    // A job that has a worker, in status s.
    void running(int i, JobStatus s)
    {
        list.job(i).setStatus(s);
        list.job(i).workerBlock.workerDone = 0;
    }
    std::vector<std::string> sources() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < list.count(); ++i)
            out.push_back(list.job(i).sourcePath);
        return out;
    }

    std::unique_ptr<ProfileFixture> profiles;
    RecordingPrompt prompt;
    BatchList list{*profiles->store, prompt, &noStart};
    MemoryListView view;
};

TEST(ElapsedTime, MinutesAndSecondsThenHours)
{
    EXPECT_EQ(formatElapsed(0, 0), "00:00");
    EXPECT_EQ(formatElapsed(3599 * 20000, 0), "59:59");
    EXPECT_EQ(formatElapsed(3600 * 20000, 0), "1h:00:00");
    EXPECT_EQ(formatElapsed(3600 * 20000 + 61 * 20000 + 10000, 0), "1h:01:01");
    EXPECT_EQ(formatElapsed(19999, 0), "00:00"); // truncated
}

TEST(ElapsedTime, SoundOnlyProgressCountsBytesOverTheRate)
{
    const int32_t rate = 44100 * 2 * 2;
    EXPECT_EQ(formatElapsed(-(rate / 9) * 61, rate), "01:01");
    // Before the worker knows the rate, and at the extreme: no division by zero.
    EXPECT_EQ(formatElapsed(-1000, 0), "00:00");
    EXPECT_EQ(formatElapsed(-1000, 8), "00:00");
    EXPECT_EQ(formatElapsed(INT32_MIN, rate), formatElapsed(INT32_MIN, rate));
    EXPECT_FALSE(formatElapsed(INT32_MIN, 9).empty());
}

TEST(StatusText, EveryStatusAndAborting)
{
    BatchJob job;
    job.reset();
    EXPECT_EQ(statusText(job), "");
    job.queueNumber = 7;
    job.setStatus(JobStatus::Queued);
    EXPECT_EQ(statusText(job), "queued [#7]");
    job.setStatus(JobStatus::Initializing);
    EXPECT_EQ(statusText(job), "initializing");
    job.progress = 65 * 20000;
    job.setStatus(JobStatus::Encoding);
    EXPECT_EQ(statusText(job), "encoding [01:05]");
    job.setStatus(JobStatus::Paused);
    EXPECT_EQ(statusText(job), "paused [01:05]");
    job.setStatus(JobStatus::Complete);
    EXPECT_EQ(statusText(job), "complete [01:05]");
    job.setStatus(JobStatus::Error);
    EXPECT_EQ(statusText(job), "error");
    job.setStatus(JobStatus::Aborted);
    EXPECT_EQ(statusText(job), "aborted by user");
    job.setStatus(JobStatus::Skipped);
    EXPECT_EQ(statusText(job), "skipped");

    job.setStatus(JobStatus::Complete);
    job.workerBlock.abortRequested = 1;
    EXPECT_EQ(statusText(job), "aborting");
    job.workerBlock.workerDone = 1;
    EXPECT_EQ(statusText(job), "complete [01:05]");
}

TEST(BatchStorage, SlotsGrowInPowersOfTwoFrom32AndShrinkToAQuarter)
{
    ListFixture f;
    EXPECT_EQ(f.list.capacity(), 0);
    f.add("first");
    EXPECT_EQ(f.list.capacity(), 32);
    for (int i = 1; i < 32; ++i)
        f.add("more");
    EXPECT_EQ(f.list.capacity(), 32);
    f.add("33rd");
    EXPECT_EQ(f.list.capacity(), 64);
    f.list.dropLastJobs(13); // 20 jobs: 32 is half of 64
    EXPECT_EQ(f.list.capacity(), 64);
    f.list.dropLastJobs(4); // 16 jobs
    EXPECT_EQ(f.list.capacity(), 32);
    EXPECT_EQ(f.list.count(), 16);
}

TEST(BatchStorage, ReusedSpareRecordsAreReset)
{
    ListFixture f(2);
    f.list.job(1).selected = true;
    f.list.job(1).profileIndex = 1;
    JobWorkerBlock& block = f.list.job(1).workerBlock;
    block.durationMs = 5000;
    block.sourceWidth = 640;
    block.sourceHeight = 480;
    block.sourceFrameRate = 25.0;
    f.finish(1, JobStatus::Error);
    f.list.dropLastJobs(1);
    BatchJob& again = f.add("again");
    EXPECT_EQ(again.statusValue(), JobStatus::Idle);
    EXPECT_FALSE(again.selected);
    EXPECT_EQ(again.profileIndex, 0);
    // What was known of the earlier source is not shown for the new one.
    EXPECT_EQ(again.workerBlock.durationMs.load(), 0);
    EXPECT_EQ(again.workerBlock.sourceWidth.load(), 0);
    EXPECT_EQ(again.workerBlock.sourceHeight.load(), 0);
    EXPECT_EQ(again.workerBlock.sourceFrameRate.load(), 0.0);
}

TEST(Encode, NumbersFollowTheLargestQueuedNumber)
{
    ListFixture f(5);
    f.list.job(0).setStatus(JobStatus::Queued);
    f.list.job(0).queueNumber = 3;
    f.list.job(1).setStatus(JobStatus::Queued);
    f.list.job(1).queueNumber = 5;
    f.view.select({3});
    f.list.encodeJobs(false);
    EXPECT_EQ(f.list.job(3).statusValue(), JobStatus::Queued);
    EXPECT_EQ(f.list.job(3).queueNumber, 6u);
    EXPECT_EQ(f.view.status(3), "queued [#6]");
    EXPECT_EQ(f.list.job(2).statusValue(), JobStatus::Idle);

    // Once nothing is queued the numbers start again at 1, in list order.
    f.list.abortJobs(true);
    f.view.select({1, 2, 4});
    f.list.encodeJobs(false);
    EXPECT_EQ(f.list.job(1).queueNumber, 1u);
    EXPECT_EQ(f.list.job(2).queueNumber, 2u);
    EXPECT_EQ(f.list.job(4).queueNumber, 3u);
    EXPECT_EQ(f.list.job(0).statusValue(), JobStatus::Idle);
}

TEST(Encode, ResumesPausedAndLeavesFinishedAndRunningJobs)
{
    ListFixture f(6);
    f.running(0, JobStatus::Paused);
    f.finish(1, JobStatus::Complete);
    f.running(2, JobStatus::Error); // worker not finished yet
    f.finish(3, JobStatus::Aborted);
    f.list.job(4).setStatus(JobStatus::Skipped);
    f.running(5, JobStatus::Encoding);
    f.list.runState().overwriteMode = OverwriteMode::OverwriteAll;

    f.list.encodeJobs(true);
    EXPECT_EQ(f.list.runState().overwriteMode, OverwriteMode::Ask);
    EXPECT_EQ(f.list.job(0).statusValue(), JobStatus::Encoding);
    EXPECT_EQ(f.list.job(1).statusValue(), JobStatus::Complete);
    EXPECT_EQ(f.list.job(2).statusValue(), JobStatus::Error);
    EXPECT_EQ(f.list.job(3).statusValue(), JobStatus::Queued);
    EXPECT_EQ(f.list.job(3).queueNumber, 1u);
    EXPECT_EQ(f.list.job(4).queueNumber, 2u);
    EXPECT_EQ(f.list.job(5).statusValue(), JobStatus::Encoding);

    // A completed job is encoded again only after a reset.
    f.list.resetStatus(true);
    EXPECT_EQ(f.list.job(1).statusValue(), JobStatus::Idle);
    EXPECT_EQ(f.list.job(2).statusValue(), JobStatus::Error); // not settled
    EXPECT_EQ(f.list.job(3).statusValue(), JobStatus::Idle);
    f.list.encodeJobs(true);
    EXPECT_EQ(f.list.job(1).statusValue(), JobStatus::Queued);
}

TEST(Abort, QueuedBecomesIdleAndRunningShowsAbortingUntilTheWorkerStops)
{
    ListFixture f(3);
    f.list.job(0).setStatus(JobStatus::Queued);
    f.running(1, JobStatus::Encoding);
    f.list.job(2).isNew = true;
    f.view.select({0, 1});
    f.list.abortJobs(false);
    EXPECT_FALSE(f.list.job(2).isNew);
    EXPECT_EQ(f.list.job(0).statusValue(), JobStatus::Idle);
    f.list.refreshStatus();
    EXPECT_EQ(f.view.status(0), "");
    EXPECT_EQ(f.view.status(1), "aborting");

    f.list.job(1).setStatus(JobStatus::Aborted); // the worker sees the request
    f.list.refreshStatus();
    EXPECT_EQ(f.view.status(1), "aborting");
    f.list.job(1).workerBlock.workerDone = 1;
    f.list.refreshStatus();
    EXPECT_EQ(f.view.status(1), "aborted by user");
}

TEST(Remove, KeepsJobsThatMayHaveAWorkerAndTheirRecords)
{
    ListFixture f(6);
    f.running(1, JobStatus::Encoding);
    f.finish(2, JobStatus::Complete);
    f.running(3, JobStatus::Error);
    f.list.job(4).setStatus(JobStatus::Queued);
    f.running(5, JobStatus::Initializing);
    const BatchJob* encoding = &f.list.job(1);
    const BatchJob* unsettled = &f.list.job(3);

    f.list.removeJobs(true);
    EXPECT_EQ(f.sources(), (std::vector<std::string>{"s1.avi", "s3.avi", "s5.avi"}));
    EXPECT_EQ(&f.list.job(0), encoding);
    EXPECT_EQ(&f.list.job(1), unsettled);
    EXPECT_EQ(f.view.rowCount(), 3);
    EXPECT_EQ(f.view.itemData(2), 2);
    EXPECT_FALSE(f.list.refreshSuspended());
}

TEST(Remove, SelectedRowsAboveTheTopRowMoveTheViewUp)
{
    ListFixture f(8);
    f.view.select({0, 2, 5});
    f.view.firstVisible = 4;
    f.view.setFocused(6);
    f.list.removeJobs(false);
    EXPECT_EQ(f.sources(),
              (std::vector<std::string>{"s1.avi", "s3.avi", "s4.avi", "s6.avi", "s7.avi"}));
    EXPECT_EQ(f.list.topRow(), 2);
    EXPECT_EQ(f.list.focusRow(), 4); // focus 6 less the two rows above the top
    EXPECT_EQ(f.view.firstVisible, 2);
    EXPECT_TRUE(f.view.isFocused(4));
    EXPECT_EQ(f.list.capacity(), 32);
}

TEST(ClearCompleted, RemovesSettledCompleteJobsWhateverTheSelection)
{
    ListFixture f(4);
    f.finish(0, JobStatus::Complete);
    f.running(1, JobStatus::Complete); // worker still finishing the file
    f.finish(3, JobStatus::Complete);
    f.list.job(3).profileIndex = 1;
    BatchJob* cleared = &f.list.job(3);
    f.list.clearCompleted();
    EXPECT_EQ(f.sources(), (std::vector<std::string>{"s1.avi", "s2.avi"}));
    EXPECT_EQ(cleared->statusValue(), JobStatus::Idle);
    EXPECT_EQ(cleared->profileIndex, 0);
    EXPECT_EQ(f.list.capacity(), 32);
}

TEST(View, RebuildShowsEveryJobAndRestoresSelectionScrollAndFocus)
{
    ListFixture f(3);
    f.list.job(1).profileIndex = 1;
    f.list.job(2).setStatus(JobStatus::Skipped);
    f.view.select({1, 2});
    f.view.firstVisible = 1;
    f.view.setFocused(2);
    f.list.syncFromView();
    EXPECT_TRUE(f.list.job(1).selected);
    EXPECT_FALSE(f.list.job(0).selected);
    f.list.rebuildView();

    ASSERT_EQ(f.view.rowCount(), 3);
    EXPECT_EQ(f.view.cellText(1, BatchColumn::Source), "s1.avi");
    EXPECT_EQ(f.view.cellText(1, BatchColumn::Dest), "s1.avi.kmf");
    EXPECT_EQ(f.view.cellText(1, BatchColumn::Profile), "Web");
    EXPECT_EQ(f.view.cellText(0, BatchColumn::Profile), "(Default)");
    EXPECT_EQ(f.view.status(2), "skipped");
    EXPECT_EQ(f.view.cellText(2, BatchColumn::Meta), "");
    EXPECT_FALSE(f.view.isSelected(0));
    EXPECT_TRUE(f.view.isSelected(1));
    EXPECT_TRUE(f.view.isSelected(2));
    EXPECT_EQ(f.view.firstVisible, 1);
    EXPECT_TRUE(f.view.isFocused(2));
}

TEST(View, RefreshWritesOnlyChangedCellsButAbortingAlways)
{
    ListFixture f(3);
    f.running(0, JobStatus::Encoding);
    f.list.refreshStatus();
    f.view.statusWrites = 0;
    f.list.refreshStatus();
    EXPECT_EQ(f.view.statusWrites, 0);

    f.list.job(0).progress = 20000;
    f.list.refreshStatus();
    EXPECT_EQ(f.view.statusWrites, 1);
    EXPECT_EQ(f.view.status(0), "encoding [00:01]");

    f.list.job(0).workerBlock.abortRequested = 1;
    f.view.statusWrites = 0;
    f.list.refreshStatus();
    f.list.refreshStatus();
    EXPECT_EQ(f.view.statusWrites, 2);

    f.list.setRefreshSuspended(true);
    f.view.statusWrites = 0;
    f.list.refreshStatus();
    EXPECT_EQ(f.view.statusWrites, 0);
}

TEST(View, SyncFindsJobsThroughItemDataAndSelectAllSkipsTheSync)
{
    ListFixture f(3);
    // A view whose rows are in another order than the jobs.
    std::swap(f.view.rows[0], f.view.rows[2]);
    f.view.select({0});
    f.list.syncFromView();
    EXPECT_TRUE(f.list.job(2).selected);
    EXPECT_FALSE(f.list.job(0).selected);

    f.view.select({});
    f.list.selectAll();
    EXPECT_TRUE(f.view.isSelected(0) && f.view.isSelected(1) && f.view.isSelected(2));
    f.list.deselectAll();
    EXPECT_EQ(f.list.selectedCount(), 0);
    EXPECT_FALSE(f.view.isSelected(1));
}

TEST(PauseAll, PausesEncodingJobsOnlyAndUnpauseResumesThem)
{
    ListFixture f(3);
    f.running(0, JobStatus::Encoding);
    f.finish(1, JobStatus::Complete);
    f.list.job(2).setStatus(JobStatus::Queued);
    f.list.pauseAll();
    EXPECT_EQ(f.list.job(0).statusValue(), JobStatus::Paused);
    EXPECT_EQ(f.list.job(1).statusValue(), JobStatus::Complete);
    EXPECT_EQ(f.list.job(2).statusValue(), JobStatus::Queued);
    EXPECT_EQ(f.view.status(0), "paused [00:00]");
    f.list.unpauseAll();
    EXPECT_EQ(f.list.job(0).statusValue(), JobStatus::Encoding);
}

TEST(Settling, WaitsForAbortedWorkersAndGivesUpAtTheTimeOut)
{
    ListFixture f(3);
    f.running(0, JobStatus::Encoding);
    f.list.job(0).workerBlock.abortRequested = 1;
    f.running(1, JobStatus::Error);
    int sleeps = 0;
    f.list.setSleeper([&](int ms) {
        EXPECT_EQ(ms, 100);
        if (++sleeps == 2) { // the workers end while the list waits
            f.finish(0, JobStatus::Aborted);
            f.list.job(1).workerBlock.workerDone = 1;
        }
    });
    EXPECT_TRUE(f.list.waitUntilSettled(3000));
    EXPECT_EQ(sleeps, 2);

    f.running(2, JobStatus::Complete); // never finishes
    sleeps = 0;
    f.list.setSleeper([&](int) { ++sleeps; });
    EXPECT_FALSE(f.list.waitUntilSettled(300));
    EXPECT_EQ(sleeps, 3);
}

TEST(ProfileBinding, FollowsDeletedAndMovedProfiles)
{
    ListFixture f(4);
    for (int i = 0; i < 4; ++i)
        f.list.job(i).profileIndex = i;
    EXPECT_EQ(f.list.jobsUsingProfile(2), 1);
    f.list.profileRemoved(1);
    EXPECT_EQ(f.list.job(0).profileIndex, 0);
    EXPECT_EQ(f.list.job(1).profileIndex, 0);
    EXPECT_EQ(f.list.job(2).profileIndex, 1);
    EXPECT_EQ(f.list.job(3).profileIndex, 2);
    f.list.profilesSwapped(0, 2);
    EXPECT_EQ(f.list.job(0).profileIndex, 2);
    EXPECT_EQ(f.list.job(2).profileIndex, 1);
    EXPECT_EQ(f.list.job(3).profileIndex, 0);
    EXPECT_EQ(f.list.jobsUsingProfile(2), 2);
}

TEST(Lifetime, RecordsOfRunningJobsOutliveTheList)
{
    std::atomic<bool> go{false};
    std::thread worker;
    {
        ListFixture f(2);
        BatchJob& job = f.list.job(1);
        f.running(1, JobStatus::Encoding);
        worker = std::thread([&job, &go] {
            while (!go.load())
                std::this_thread::yield();
            job.progress.fetch_add(20000);
            job.setStatus(JobStatus::Complete);
            job.workerBlock.workerDone.store(1);
        });
    } // the list is destroyed while the worker still holds its record
    go = true;
    worker.join();
}

} // namespace
