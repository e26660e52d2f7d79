#include "tools/moxel-cli/BatchRun.h"

#include "jobs/BatchFile.h"
#include "jobs/BatchList.h"
#include "jobs/ProfileStore.h"
#include "jobs/StreamOutcome.h"
#include "tools/moxel-cli/CliOptions.h"
#include "tools/moxel-cli/CliRunner.h"
#include "tools/moxel-cli/Console.h"
#include "tools/moxel-cli/RunReport.h"

#include <fstream>
#include <iterator>
#include <ostream>

namespace moxel::cli {

int listProfiles(const ProfileStore& profiles, std::ostream& out)
{
    for (int i = 0; i < profiles.count(); ++i)
        out << i << '\t' << profiles.displayName(i) << '\n';
    return out ? kExitAllComplete : kExitSomeFailed;
}

int runBatchFile(const std::string& path, const ProfileStore& profiles, CliRunner& runner,
                 Prompt& prompt, Console& console, RunReport* report)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (!in && !in.eof()) {
        console.message("moxel-cli: cannot read the batch file " + path);
        return kExitUsage;
    }

    int total = 0;
    int started = 0;
    // The runner starts the job and waits for its worker, so the scheduler
    // moves on to the next queued job within the same tick.
    JobStarter starter = [&](BatchRunState& run, BatchJob& job, const std::string& profilePath,
                             Prompt&) {
        if (runner.interrupted()) {
            job.setStatus(JobStatus::Skipped);
            // The scheduler puts the rest back to idle.
            run.overwriteMode = OverwriteMode::Cancelled;
            return;
        }
        runner.runState().overwriteMode = run.overwriteMode;
        runner.runJob(job, profilePath, ++started, total);
        run.overwriteMode = runner.runState().overwriteMode;
        run.promptText = runner.runState().promptText;
    };
    BatchList list(profiles, prompt, starter);
    const AppendedBatch appended = appendBatchJobs(list, profiles, bytes);
    if (!appended.problems.empty())
        console.message("moxel-cli: lines skipped:\n" + describeProblems(path, appended.problems));
    total = appended.added;

    list.encodeJobs(true);
    for (int before = -1; before != started && !list.isFinished();) {
        before = started;
        list.scheduleNext();
    }
    runner.finish();

    int complete = 0;
    for (int i = 0; i < list.count(); ++i) {
        const BatchJob& job = list.job(i);
        complete += job.statusRow().succeeded && !streamReachedNothing(job.workerBlock) ? 1 : 0;
        if (report)
            report->add(job, profiles.displayName(job.profileIndex));
    }
    if (started < total)
        console.message("moxel-cli: " + std::to_string(total - started) + " job(s) not started");
    return appended.problems.empty() && complete == total ? kExitAllComplete : kExitSomeFailed;
}

} // namespace moxel::cli
