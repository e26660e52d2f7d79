// How finished jobs ended, kept beside the queue: which statuses are kept and
// which come back not done, an outcome whose worker is still finishing, error texts with line
// breaks and tabs, lines that no longer fit the queue, and files this program does not know.
#include "BatchTestSupport.h"

#include "jobs/KeptStatuses.h"

#include <gtest/gtest.h>

using namespace moxel;
using namespace moxel::test;

namespace {

struct Ended {
    const char* source;
    JobStatus status;
    int32_t progress;
    const char* errorText;
};

// Every state once; the error text has a tab, a line break and a backslash.
const Ended kJobs[] = {
    {"/m/done.avi", JobStatus::Complete, 200000, ""},
    {"/m/bad.avi", JobStatus::Error, 0, "Error: cannot open\tthis\n2nd \\ line"},
    {"/m/no.avi", JobStatus::Skipped, 0, ""},
    {"/m/stopped.avi", JobStatus::Aborted, 40000, ""},
    {"/m/running.avi", JobStatus::Encoding, 60000, ""},
    {"/m/paused.avi", JobStatus::Paused, 60000, ""},
    {"/m/waiting.avi", JobStatus::Queued, 0, ""},
    {"/m/new.avi", JobStatus::Idle, 0, ""},
};

std::string destOf(const std::string& source)
{
    return source.substr(0, source.size() - 4) + ".kmf";
}

void addJobs(CommandsFixture& f, bool withStatuses)
{
    for (const Ended& e : kJobs) {
        BatchJob& job = f.add(e.source, destOf(e.source), 0);
        if (!withStatuses)
            continue;
        job.setStatus(e.status);
        job.progress.store(e.progress);
        job.workerBlock.log.setErrorText(e.errorText);
        job.workerBlock.workerDone.store(statusRow(e.status).working ? 0 : 1);
    }
}

TEST(KeptStatuses, OutcomesComeBackAsTheyWereAndWorkInHandComesBackNotDone)
{
    CommandsFixture before({"(Default)"});
    addJobs(before, true);
    const std::string kept = formatKeptStatuses(before.list);

    CommandsFixture after({"(Default)"});
    after.add("/m/older.avi", "/m/older.kmf", 0); // in the list before the queue came back
    addJobs(after, false);
    EXPECT_EQ(restoreKeptStatuses(after.list, 1, kept), 4);

    EXPECT_EQ(after.list.job(0).statusValue(), JobStatus::Idle);
    for (size_t i = 0; i < std::size(kJobs); ++i) {
        const Ended& e = kJobs[i];
        const BatchJob& job = after.list.job(int(i) + 1);
        const bool keptState = statusRow(e.status).outcome || e.status == JobStatus::Skipped;
        EXPECT_EQ(job.statusValue(), keptState ? e.status : JobStatus::Idle) << e.source;
        EXPECT_EQ(job.progress.load(), keptState ? e.progress : 0) << e.source;
        EXPECT_EQ(job.workerBlock.log.errorText(), e.errorText) << e.source;
        EXPECT_FALSE(job.isAborting()) << e.source;
    }
    after.list.rebuildView();
    EXPECT_EQ(after.view.status(1), "complete [00:10]");
    EXPECT_EQ(after.view.status(2), "error");

    // Encode takes up all but the completed job, which a reset would free.
    after.list.encodeJobs(true);
    EXPECT_EQ(after.list.job(1).statusValue(), JobStatus::Complete);
    for (int i = 2; i < after.list.count(); ++i)
        EXPECT_EQ(after.list.job(i).statusValue(), JobStatus::Queued) << i;
    after.list.resetStatus(true);
    EXPECT_EQ(after.list.job(1).statusValue(), JobStatus::Idle);
}

TEST(KeptStatuses, AnOutcomeIsKeptOnlyOnceItsWorkerHasFinishedTheFile)
{
    // The worker gives "complete" before it closes the file, which puts the
    // output in its place or fails: kept before that, a program killed in
    // between would come back with a complete job and no output.
    CommandsFixture f({"(Default)"});
    BatchJob& job = f.add("/m/a.avi", "/m/a.kmf", 0);
    job.setStatus(JobStatus::Complete);
    job.workerBlock.workerDone.store(0);
    EXPECT_EQ(formatKeptStatuses(f.list), "moxel kept statuses 1\r\n");
    job.workerBlock.workerDone.store(1);
    EXPECT_EQ(formatKeptStatuses(f.list),
              "moxel kept statuses 1\r\ncomplete\t0\t0\t/m/a.avi\t/m/a.kmf\t\r\n");
}

TEST(KeptStatuses, LinesThatNoLongerFitTheQueueArePassedOver)
{
    CommandsFixture before({"(Default)"});
    addJobs(before, true);
    const std::string kept = formatKeptStatuses(before.list);

    // The queue without the first job, and another destination for the second.
    CommandsFixture after({"(Default)"});
    after.add("/m/bad.avi", "/elsewhere/bad.kmf", 0);
    after.add("/m/no.avi", destOf("/m/no.avi"), 0);
    after.add("/m/stopped.avi", destOf("/m/stopped.avi"), 0);
    EXPECT_EQ(restoreKeptStatuses(after.list, 0, kept), 2);
    EXPECT_EQ(after.list.job(0).statusValue(), JobStatus::Idle);
    EXPECT_EQ(after.list.job(1).statusValue(), JobStatus::Skipped);
    EXPECT_EQ(after.list.job(2).statusValue(), JobStatus::Aborted);
}

TEST(KeptStatuses, FilesOfAnotherKindOrStatesNotKeptChangeNothing)
{
    CommandsFixture f({"(Default)"});
    f.add("/m/a.avi", "/m/a.kmf", 0);
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"another first line", "moxel kept statuses 2\r\ncomplete\t1\t0\t/m/a.avi\t/m/a.kmf\t\r\n"},
        {"a state that is not kept",
         "moxel kept statuses 1\r\nencoding\t1\t0\t/m/a.avi\t/m/a.kmf\t\r\n"},
        {"a bad number", "moxel kept statuses 1\r\ncomplete\tx\t0\t/m/a.avi\t/m/a.kmf\t\r\n"},
        {"a field short", "moxel kept statuses 1\r\ncomplete\t1\t0\t/m/a.avi\t/m/a.kmf\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(restoreKeptStatuses(f.list, 0, c.bytes), 0) << c.what;
        EXPECT_EQ(f.list.job(0).statusValue(), JobStatus::Idle) << c.what;
    }
    // LF line ends do as well as CR LF.
    EXPECT_EQ(restoreKeptStatuses(f.list, 0,
                                  "moxel kept statuses 1\ncomplete\t1\t0\t/m/a.avi\t/m/a.kmf\t\n"),
              1);
    EXPECT_EQ(f.list.job(0).statusValue(), JobStatus::Complete);
}

} // namespace
