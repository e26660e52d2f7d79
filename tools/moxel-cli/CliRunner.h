// The job loop of moxel-cli: runs the queued jobs of a batch list through
// its scheduler, as the desktop program's timer does, up to jobsAtOnce of
// them at the same time, while showing each running job on the status line
// and writing its progress blocks. Every job has its own prompt, progress
// and abort; Ctrl-C aborts every running job and starts no more.
//
// run() converts a plain list of sources; a saved batch file goes through
// drive() on a list built from the profile store (tools/moxel-cli/BatchRun.h).
#pragma once

#include "jobs/BatchJob.h"
#include "jobs/BatchList.h"
#include "tools/moxel-cli/CliPrompt.h"
#include "tools/moxel-cli/Console.h"
#include "tools/moxel-cli/ProgressWriter.h"

#include <atomic>
#include <chrono>
#include <functional>
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
    // interrupt is set (by the Ctrl-C handler) to abort the running jobs and
    // start no more. progress may be closed (no --progress).
    CliRunner(Console& console, Prompt& prompt, ProgressWriter& progress,
              const std::atomic<bool>& interrupt);

    // Runs the jobs; the exit status (0 when every job completed).
    int run(const std::vector<CliJob>& jobs);
    // Where the jobs are reported at the end, in list order; null for none.
    // Not owned.
    void setReport(RunReport* report) { m_report = report; }
    // A destination that is already a complete KMF file counts as done: the
    // job is not started and ends Skipped with the message "already done".
    void setSkipExisting(bool skip) { m_skipExisting = skip; }
    // How many jobs may run at the same time (at least 1).
    void setJobsAtOnce(int n) { m_jobsAtOnce = n > 0 ? n : 1; }
    int jobsAtOnce() const { return m_jobsAtOnce; }

    // The job start that drive() needs the list to have: it counts the job
    // as started, answers --skip-existing and starts the job's worker with
    // the profile file the list names (run(): the one of its job).
    JobStarter starter();
    // Encodes every job of list (built with starter()) and runs them to
    // their end; profileName(i) names job i's profile in the report.
    // Returns how many jobs completed, those found already done included.
    int drive(BatchList& list, const std::function<std::string(int)>& profileName);
    // Ends the progress output (progress=end); run() does this itself.
    void finish() { m_progress.finish(); }
    bool interrupted() const { return m_interrupt.load(); }

    // How often the loop looks at the jobs and ticks the scheduler.
    static constexpr int kPollMs = 50;
    static constexpr int kProgressEveryMs = 500;
    // The status line changes at most this often: on a terminal, and where
    // standard error goes to a file or a pipe.
    static constexpr int kStatusEveryMs = 200;
    static constexpr int kStatusEveryMsNoTerminal = 2000;

  private:
    using Clock = std::chrono::steady_clock;
    // What the loop keeps of each job of the list, by position.
    struct Watch {
        bool started = false; // handed to the job start
        bool ended = false;   // its last line and block are out
        bool alreadyDone = false;
        Clock::time_point start;
    };

    std::string statusLine(const JobProgress& progress, int index, const std::string& source) const;
    // With --skip-existing: ends job as already done when its destination
    // is complete. True when it did.
    bool skipDone(BatchJob& job, int index);
    // The last line and block of job index, whose worker has finished.
    void jobEnded(BatchJob& job, int index);
    // One look at every job: ended ones are told, the running ones' lines
    // joined into the status line and, when due, their progress blocks.
    void look(BatchList& list, bool blocksDue);
    int indexOf(const BatchJob& job) const;

    Console& m_console;
    Prompt& m_prompt;
    ProgressWriter& m_progress;
    const std::atomic<bool>& m_interrupt;
    RunReport* m_report = nullptr;
    bool m_skipExisting = false;
    int m_jobsAtOnce = 1;
    // The run under way.
    BatchList* m_list = nullptr;
    std::vector<Watch> m_watch;
    std::vector<std::string> m_profileOf; // run(): each job's profile file
    Clock::time_point m_lastLine;
    std::string m_shown;
};

} // namespace moxel::cli
