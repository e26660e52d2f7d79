// The table of job states: one row a state in the order of the stored
// values, rows whose answers fit together, and the batch list's commands and
// scheduler doing to a job in each state, with its worker gone or not, what
// the user has always seen; and the note a stream destination that did not
// get every frame adds to its outcome.
#include "BatchTestSupport.h"

#include "jobs/JobStatusText.h"
#include "jobs/StreamOutcome.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace moxel;
using namespace moxel::test;

namespace {

const JobStatus kAll[] = {JobStatus::Idle,     JobStatus::Queued,  JobStatus::Initializing,
                          JobStatus::Encoding, JobStatus::Paused,  JobStatus::Complete,
                          JobStatus::Error,    JobStatus::Aborted, JobStatus::Skipped};

TEST(JobStatusTable, OneRowPerStateInTheOrderOfTheStoredValues)
{
    // The values live in job records' status words: they never move.
    ASSERT_EQ(kJobStatusTable.size(), std::size(kAll));
    for (size_t i = 0; i < std::size(kAll); ++i) {
        EXPECT_EQ(uint32_t(kAll[i]), i);
        EXPECT_EQ(kJobStatusTable[i].status, kAll[i]);
        EXPECT_EQ(&statusRow(kAll[i]), &kJobStatusTable[i]);
        EXPECT_NE(std::string(kJobStatusTable[i].word), "") << i;
    }
    // A value no state has allows nothing and shows nothing.
    for (uint32_t stray : {uint32_t(kJobStatusTable.size()), 0xffffffffu}) {
        const JobStatusRow& row = statusRow(JobStatus(stray));
        EXPECT_EQ(std::string(row.word), "unknown");
        EXPECT_EQ(statusText(JobStatus(stray), false, 1, "00:01"), "");
        EXPECT_FALSE(row.queued || row.working || row.outcome || row.converting || row.succeeded);
        EXPECT_EQ(row.requeue, StatusPermit::Never);
        EXPECT_EQ(row.reset, StatusPermit::Never);
        EXPECT_EQ(row.remove, StatusPermit::Never);
    }
}

TEST(JobStatusTable, WordsAndStatusBarNamesAsProgramsAndUsersSeeThem)
{
    const struct {
        JobStatus status;
        const char* word;
        const char* tally; // null: not counted in the status bar
    } cases[] = {
        {JobStatus::Idle, "idle", nullptr},
        {JobStatus::Queued, "queued", "queued"},
        {JobStatus::Initializing, "initializing", "starting"},
        {JobStatus::Encoding, "encoding", "encoding"},
        {JobStatus::Paused, "paused", "paused"},
        {JobStatus::Complete, "complete", "complete"},
        {JobStatus::Error, "error", "error"},
        {JobStatus::Aborted, "aborted", "aborted"},
        {JobStatus::Skipped, "skipped", "skipped"},
    };
    for (const auto& c : cases) {
        const JobStatusRow& row = statusRow(c.status);
        EXPECT_EQ(std::string(row.word), c.word);
        EXPECT_EQ(row.tally == nullptr, c.tally == nullptr) << c.word;
        if (row.tally && c.tally) {
            EXPECT_EQ(std::string(row.tally), c.tally);
        }
    }
    EXPECT_EQ(statusText(JobStatus::Queued, false, 12, "00:01"), "queued [#12]");
    EXPECT_EQ(statusText(JobStatus::Paused, false, 12, "1h:00:00"), "paused [1h:00:00]");
    EXPECT_EQ(statusText(JobStatus::Idle, true, 12, "00:01"), "aborting");
}

TEST(JobStatusTable, AStreamThatMissedFramesSaysSoOnceTheWorkerHasGone)
{
    BatchJob job;
    job.setStatus(JobStatus::Complete);
    job.progress.store(100000); // 5 s
    StreamStats stats;
    stats.server = "127.0.0.1:9";
    stats.connectedEver = true;
    stats.bytesSent = 5000;
    stats.framesSent = 40;
    job.workerBlock.streamStats = stats;
    EXPECT_EQ(statusText(job), "complete [00:05]");

    stats.framesDroppedBacklog = 3;
    stats.framesCut = 1;
    stats.framesDroppedAtClose = 8;
    job.workerBlock.streamStats = stats;
    EXPECT_EQ(statusText(job), "complete [00:05]"); // the worker may still count
    job.workerBlock.workerDone.store(1);
    EXPECT_EQ(statusText(job), "complete [00:05], 12 frames not sent");
    EXPECT_FALSE(streamReachedNothing(job.workerBlock));

    stats.framesDroppedBacklog = stats.framesCut = 0;
    stats.framesDroppedAtClose = 1;
    job.workerBlock.streamStats = stats;
    EXPECT_EQ(statusText(job), "complete [00:05], 1 frame not sent");

    stats.connectedEver = false;
    stats.bytesSent = 0;
    job.workerBlock.streamStats = stats;
    job.setStatus(JobStatus::Aborted);
    EXPECT_EQ(statusText(job), "aborted by user, stream never connected");
    EXPECT_TRUE(streamReachedNothing(job.workerBlock));

    job.workerBlock.streamStats.reset(); // a file destination
    EXPECT_EQ(statusText(job), "aborted by user");
    EXPECT_FALSE(streamReachedNothing(job.workerBlock));
}

TEST(JobStatusTable, AnswersFitTogetherAndAWorkerKeepsItsRecord)
{
    for (const JobStatusRow& row : kJobStatusTable) {
        SCOPED_TRACE(row.word);
        // Waiting, under way and ended are three different lives.
        EXPECT_LE(int(row.queued) + int(row.working) + int(row.outcome), 1);
        EXPECT_TRUE(!row.converting || row.working);
        EXPECT_TRUE(!row.succeeded || row.outcome);
        EXPECT_EQ(row.hadWorker(), row.working || row.outcome);
        EXPECT_EQ(row.inProgress(), row.queued || row.working);
        for (StatusPermit permit : {row.requeue, row.reset, row.remove}) {
            // While a worker may write into the record no command touches it;
            // after an outcome only once the worker has gone.
            EXPECT_TRUE(!row.working || permit == StatusPermit::Never);
            EXPECT_TRUE(!row.outcome || permit != StatusPermit::Always);
            EXPECT_TRUE(permit != StatusPermit::OnceSettled || row.outcome);
        }
    }
}

// What the list does to one job in a state, with its worker still there
// (settled false) or gone (settled true).
struct Case {
    JobStatus status;
    bool workerGone;
    JobStatus afterEncode;
    JobStatus afterReset;
    bool abortSignalsWorker; // else abort leaves it (or a queued job goes idle)
    bool removed;
    bool cleared;
    bool listFinished;     // the "done" column
    const char* scheduled; // which job the scheduler starts: "this", "other" or ""
};

using enum JobStatus;
const Case kCases[] = {
    // status      gone   encode        reset         abort  remove clear  done   scheduled
    {Idle, false, Queued, Idle, false, true, false, true, "other"},
    {Idle, true, Queued, Idle, false, true, false, true, "other"},
    {Queued, false, Queued, Idle, false, true, false, false, "this"},
    {Queued, true, Queued, Idle, false, true, false, false, "this"},
    {Initializing, false, Initializing, Initializing, true, false, false, false, ""},
    {Initializing, true, Initializing, Initializing, true, false, false, false, ""},
    {Encoding, false, Encoding, Encoding, true, false, false, false, ""},
    {Paused, false, Encoding, Paused, true, false, false, false, ""},
    {Complete, false, Complete, Complete, false, false, false, false, "other"},
    {Complete, true, Complete, Idle, false, true, true, true, "other"},
    {Error, false, Error, Error, false, false, false, false, "other"},
    {Error, true, Queued, Idle, false, true, false, true, "other"},
    {Aborted, false, Aborted, Aborted, false, false, false, false, "other"},
    {Aborted, true, Queued, Idle, false, true, false, true, "other"},
    {Skipped, false, Queued, Idle, false, true, false, true, "other"},
    {Skipped, true, Queued, Idle, false, true, false, true, "other"},
};

// A list whose first job "this" is in the case's state; with a queued job
// "other" behind it when asked for.
struct OneJobList {
    OneJobList(const Case& c, bool withOther) : profiles(makeProfiles({"(Default)"}))
    {
        add("this", c.status, 1).workerBlock.workerDone = c.workerGone ? 1 : 0;
        if (withOther)
            add("other", JobStatus::Queued, 5);
    }
    BatchJob& add(const std::string& source, JobStatus status, uint32_t queueNumber)
    {
        BatchJob& job = list.appendJob();
        job.sourcePath = source;
        job.queueNumber = queueNumber;
        job.setStatus(status);
        return job;
    }
    BatchJob& job() { return list.job(0); }

    std::unique_ptr<ProfileFixture> profiles;
    RecordingPrompt prompt;
    std::vector<std::string> started;
    BatchList list{*profiles->store, prompt,
                   [this](BatchRunState&, BatchJob& job, const std::string&, Prompt&) {
                       started.push_back(job.sourcePath);
                       job.setStatus(JobStatus::Initializing);
                   }};
};

TEST(JobStatusTable, ListCommandsAndTheSchedulerTreatEachStateAsAlways)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(statusRow(c.status).word) + (c.workerGone ? " settled" : ""));
        {
            OneJobList f(c, false);
            f.list.encodeJobs(true);
            EXPECT_EQ(f.job().statusValue(), c.afterEncode);
        }
        {
            OneJobList f(c, false);
            f.list.resetStatus(true);
            EXPECT_EQ(f.job().statusValue(), c.afterReset);
        }
        {
            OneJobList f(c, false);
            f.list.abortJobs(true);
            EXPECT_EQ(f.job().workerBlock.abortRequested.load() != 0, c.abortSignalsWorker);
            EXPECT_EQ(f.job().statusValue(),
                      c.status == JobStatus::Queued ? JobStatus::Idle : c.status);
        }
        {
            OneJobList f(c, false);
            EXPECT_EQ(f.list.isFinished(), c.listFinished);
            f.list.removeJobs(true);
            EXPECT_EQ(f.list.count(), c.removed ? 0 : 1);
        }
        {
            OneJobList f(c, false);
            f.list.clearCompleted();
            EXPECT_EQ(f.list.count(), c.cleared ? 0 : 1);
        }
        {
            OneJobList f(c, true);
            f.list.scheduleNext();
            const std::vector<std::string> expected =
                *c.scheduled ? std::vector<std::string>{c.scheduled} : std::vector<std::string>{};
            EXPECT_EQ(f.started, expected);
        }
    }
}

} // namespace
