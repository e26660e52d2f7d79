// Moving jobs in the list and sending failed jobs back into the queue: the
// records of running jobs never move, selection and focus go with their
// jobs, and the queue runs in the order the list now shows.
#include "BatchTestSupport.h"

#include <gtest/gtest.h>

using namespace moxel;
using namespace moxel::test;

namespace {

using Direction = BatchList::Direction;

struct OrderFixture {
    explicit OrderFixture(int jobs) : profiles(makeProfiles({"(Default)"}))
    {
        list.setView(&view);
        for (int i = 0; i < jobs; ++i) {
            BatchJob& job = list.appendJob();
            job.sourcePath = "s" + std::to_string(i);
            job.destPath = job.sourcePath + ".kmf";
        }
        list.rebuildView();
    }
    std::string order() const
    {
        std::string out;
        for (int i = 0; i < list.count(); ++i)
            out += (i ? " " : "") + list.job(i).sourcePath;
        return out;
    }
    std::vector<int> selectedRows() const
    {
        std::vector<int> rows;
        for (int row = 0; row < view.rowCount(); ++row)
            if (view.isSelected(row))
                rows.push_back(row);
        return rows;
    }
    int row(const std::string& source) const
    {
        for (int i = 0; i < list.count(); ++i)
            if (list.job(i).sourcePath == source)
                return i;
        return -1;
    }

    std::unique_ptr<ProfileFixture> profiles;
    RecordingPrompt prompt;
    BatchList list{*profiles->store, prompt, &noStart};
    MemoryListView view;
};

TEST(QueueOrder, SelectedJobsMoveOnePlaceAndBlocksStopAtTheEdge)
{
    OrderFixture f(5);
    f.view.select({1, 3});
    EXPECT_TRUE(f.list.moveSelected(Direction::Up));
    EXPECT_EQ(f.order(), "s1 s0 s3 s2 s4");
    EXPECT_EQ(f.selectedRows(), (std::vector<int>{0, 2}));
    EXPECT_TRUE(f.list.moveSelected(Direction::Up)); // s1 stays at the top, s3 closes up
    EXPECT_EQ(f.order(), "s1 s3 s0 s2 s4");
    EXPECT_FALSE(f.list.moveSelected(Direction::Up));
    EXPECT_EQ(f.order(), "s1 s3 s0 s2 s4");

    f.view.select({3, 4});
    EXPECT_FALSE(f.list.moveSelected(Direction::Down));
    EXPECT_TRUE(f.list.moveSelected(Direction::Up));
    EXPECT_EQ(f.order(), "s1 s3 s2 s4 s0");
    EXPECT_EQ(f.selectedRows(), (std::vector<int>{2, 3}));
    EXPECT_TRUE(f.list.moveSelected(Direction::Down));
    EXPECT_EQ(f.order(), "s1 s3 s0 s2 s4");

    // Rows and item data still match: row i shows job i.
    for (int row = 0; row < f.view.rowCount(); ++row) {
        EXPECT_EQ(f.view.itemData(row), row);
        EXPECT_EQ(f.view.cellText(row, BatchColumn::Source), f.list.job(row).sourcePath);
    }
}

TEST(QueueOrder, RunningJobsKeepTheirRecordsAndTheFocusFollowsItsJob)
{
    OrderFixture f(4);
    BatchJob* running = &f.list.job(2);
    running->setStatus(JobStatus::Encoding);
    running->progress = 12345;
    const int capacity = f.list.capacity();
    f.view.select({2, 3});
    f.view.setFocused(3);

    EXPECT_TRUE(f.list.moveSelected(Direction::Up));
    EXPECT_EQ(f.order(), "s0 s2 s3 s1");
    EXPECT_EQ(&f.list.job(1), running); // the pointer moved, not the record
    EXPECT_EQ(running->statusValue(), JobStatus::Encoding);
    EXPECT_EQ(running->progress.load(), 12345);
    EXPECT_EQ(f.list.capacity(), capacity);
    EXPECT_TRUE(f.view.isFocused(2)); // s3, the focused job
    EXPECT_EQ(f.view.status(1).rfind("encoding [", 0), 0u);

    // A drag of the running job and s0 to the end.
    EXPECT_TRUE(f.list.moveRows({1, 0, 9, -1}, 4));
    EXPECT_EQ(f.order(), "s3 s1 s0 s2");
    EXPECT_EQ(&f.list.job(3), running);
    EXPECT_TRUE(f.view.isFocused(0));
}

TEST(QueueOrder, DraggedRowsLandBeforeTheTargetRowInTheirOrder)
{
    OrderFixture f(5);
    EXPECT_TRUE(f.list.moveRows({2, 0}, 4));
    EXPECT_EQ(f.order(), "s1 s3 s0 s2 s4");
    EXPECT_TRUE(f.list.moveRows({3, 4}, 0));
    EXPECT_EQ(f.order(), "s2 s4 s1 s3 s0");
    // Dropped where they are already: nothing moves.
    EXPECT_FALSE(f.list.moveRows({1, 2}, 1));
    EXPECT_FALSE(f.list.moveRows({1, 2}, 3));
    EXPECT_FALSE(f.list.moveRows({}, 0));
    EXPECT_EQ(f.order(), "s2 s4 s1 s3 s0");
}

TEST(QueueOrder, AfterAMoveTheQueueRunsInListOrderWithTheSameNumbers)
{
    OrderFixture f(4);
    f.view.select({0, 1, 3}); // s2 stays idle
    f.list.encodeJobs(false);
    f.list.job(3).queueNumber = 7; // numbers 1, 2, 7
    f.list.rebuildView();

    f.view.select({3});
    EXPECT_TRUE(f.list.moveSelected(Direction::Up));
    EXPECT_TRUE(f.list.moveSelected(Direction::Up));
    EXPECT_EQ(f.order(), "s0 s3 s1 s2");
    EXPECT_EQ(f.view.status(0), "queued [#1]");
    EXPECT_EQ(f.view.status(1), "queued [#2]");
    EXPECT_EQ(f.view.status(2), "queued [#7]");
    EXPECT_EQ(f.view.status(3), "");

    // The scheduler starts the job now at the top.
    std::vector<std::string> started;
    BatchList list(*f.profiles->store, f.prompt,
                   [&](BatchRunState&, BatchJob& job, const std::string&, Prompt&) {
                       started.push_back(job.sourcePath);
                       job.setStatus(JobStatus::Skipped);
                   });
    for (int i = 0; i < 3; ++i) {
        BatchJob& job = list.appendJob();
        job.sourcePath = "t" + std::to_string(i);
        job.selected = true;
    }
    list.encodeJobs(false);
    list.job(2).selected = false;
    list.job(0).selected = false;
    EXPECT_TRUE(list.moveSelected(Direction::Up)); // no view: the flags are the selection
    list.scheduleNext();
    EXPECT_EQ(started, (std::vector<std::string>{"t1", "t0", "t2"}));
}

TEST(QueueOrder, RetryFailedQueuesSettledErrorsAndAbortsOnly)
{
    OrderFixture f(7);
    auto ended = [&](int i, JobStatus s, bool settled) {
        f.list.job(i).setStatus(s);
        f.list.job(i).workerBlock.workerDone = settled ? 1 : 0;
    };
    ended(0, JobStatus::Error, true);
    ended(1, JobStatus::Complete, true);
    ended(2, JobStatus::Aborted, true);
    ended(3, JobStatus::Error, false); // its worker is still finishing
    ended(4, JobStatus::Skipped, true);
    f.list.job(5).setStatus(JobStatus::Queued);
    f.list.job(5).queueNumber = 4;
    f.list.runState().overwriteMode = OverwriteMode::OverwriteAll;
    f.view.select({1});

    EXPECT_EQ(f.list.retryFailed(), 2);
    EXPECT_EQ(f.view.status(0), "queued [#5]");
    EXPECT_EQ(f.view.status(2), "queued [#6]");
    EXPECT_EQ(f.list.job(1).statusValue(), JobStatus::Complete);
    EXPECT_EQ(f.list.job(3).statusValue(), JobStatus::Error);
    EXPECT_EQ(f.list.job(4).statusValue(), JobStatus::Skipped);
    EXPECT_EQ(f.list.job(6).statusValue(), JobStatus::Idle);
    EXPECT_EQ(f.list.runState().overwriteMode, OverwriteMode::Ask); // a new run asks again
    EXPECT_EQ(f.selectedRows(), (std::vector<int>{1}));
    EXPECT_EQ(f.list.retryFailed(), 0);
}

} // namespace
