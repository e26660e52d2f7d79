// The job loop of moxel-cli: runs jobs one after another through the
// conversion driver, as the batch list does, while showing the status line
// and writing the progress blocks. runJob takes one job record, so a batch
// list can drive it job by job; run() takes a plain list and, when a report
// is set, adds every job of the list to it.
#pragma once

#include "jobs/BatchJob.h"
#include "tools/moxel-cli/CliPrompt.h"
#include "tools/moxel-cli/Console.h"
#include "tools/moxel-cli/ProgressWriter.h"

#include <atomic>
#include <string>
#include <vector>

namespace moxel::cli {

class RunReport;

struct CliJob {
    std::string source;
    std::string destination;
    std::string profilePath;
};

class CliRunner {
  public:
    // interrupt is set (by the Ctrl-C handler) to abort the running job and
    // start no more. progress may be closed (no --progress).
    CliRunner(Console& console, Prompt& prompt, ProgressWriter& progress,
              const std::atomic<bool>& interrupt);

    // Runs each job in turn; the exit status (0 when every job completed).
    int run(const std::vector<CliJob>& jobs);
    // Where run() reports its jobs; null for none. Not owned.
    void setReport(RunReport* report) { m_report = report; }
    // A destination that is already a complete KMF file counts as done: the
    // job is not started and ends Skipped with the message "already done".
    void setSkipExisting(bool skip) { m_skipExisting = skip; }
    // How many jobs runJob found already done.
    int alreadyDone() const { return m_alreadyDone; }

    // Starts job and waits until its worker has finished. index counts from
    // 1 of total. Returns the final status; the record is reusable after.
    // A job found already done is Skipped and counted by alreadyDone().
    JobStatus runJob(BatchJob& job, const std::string& profilePath, int index, int total);

    // Ends the progress output (progress=end); run() does this itself.
    void finish() { m_progress.finish(); }
    BatchRunState& runState() { return m_run; }
    bool interrupted() const { return m_interrupt.load(); }

    // How often the loop looks at the job (the batch list's 100 ms).
    static constexpr int kPollMs = 50;
    static constexpr int kProgressEveryMs = 500;
    // The status line changes at most this often: on a terminal, and where
    // standard error goes to a file or a pipe.
    static constexpr int kStatusEveryMs = 200;
    static constexpr int kStatusEveryMsNoTerminal = 2000;

  private:
    // Adds jobs[from] onwards to the report as never started.
    void reportNotStarted(const std::vector<CliJob>& jobs, int from);
    std::string statusLine(const JobProgress& progress, int index, int total,
                           const std::string& source) const;
    // With --skip-existing: ends job as already done when its destination
    // is complete. True when it did.
    bool skipDone(BatchJob& job, int index, int total);

    Console& m_console;
    Prompt& m_prompt;
    ProgressWriter& m_progress;
    const std::atomic<bool>& m_interrupt;
    BatchRunState m_run;
    RunReport* m_report = nullptr;
    bool m_skipExisting = false;
    int m_alreadyDone = 0;
};

} // namespace moxel::cli
