#include "tools/moxel-cli/CliRunner.h"

#include "jobs/JobStart.h"
#include "jobs/StreamOutcome.h"
#include "tools/moxel-cli/CompleteKmf.h"
#include "tools/moxel-cli/RunReport.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace moxel::cli {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string fileName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "[2/5] " before a job's line when the run has more than one.
std::string countPrefix(int index, int total)
{
    return total > 1 ? "[" + std::to_string(index) + "/" + std::to_string(total) + "] "
                     : std::string();
}

} // namespace

CliRunner::CliRunner(Console& console, Prompt& prompt, ProgressWriter& progress,
                     const std::atomic<bool>& interrupt)
    : m_console(console), m_prompt(prompt), m_progress(progress), m_interrupt(interrupt)
{
}

std::string CliRunner::statusLine(const JobProgress& p, int index, int total,
                                  const std::string& source) const
{
    std::string line = countPrefix(index, total);
    line += fileName(source) + ": " + statusText(p);
    if (statusRow(p.status).converting) {
        char text[96];
        std::snprintf(text, sizeof text, "  %.1f fps", p.fps);
        line += text;
        if (p.percent >= 0) {
            std::snprintf(text, sizeof text, "  %3.0f%%", p.percent);
            line += text;
            if (p.secondsLeft >= 0)
                line += "  " + mediaTimeText(p.secondsLeft) + " left";
        }
    }
    return line;
}

bool CliRunner::skipDone(BatchJob& job, int index, int total)
{
    if (!m_skipExisting || job.destPath.empty() || !isCompleteKmfFile(job.destPath))
        return false;
    job.workerBlock.log.begin(nullptr);
    job.workerBlock.log.addMessage("already done",
                                   job.destPath + " is a complete KMF file; not converted again");
    job.workerBlock.log.end();
    job.setStatus(JobStatus::Skipped);
    ++m_alreadyDone;
    m_console.finishStatus(countPrefix(index, total) + fileName(job.sourcePath) +
                           ": already done  -> " + job.destPath);
    JobProgress p;
    p.status = JobStatus::Skipped;
    m_progress.jobEnded(index, job.sourcePath, p);
    return true;
}

JobStatus CliRunner::runJob(BatchJob& job, const std::string& profilePath, int index, int total)
{
    if (skipDone(job, index, total))
        return JobStatus::Skipped;
    const Clock::time_point start = Clock::now();
    startJob(m_run, job, profilePath, m_prompt);

    Clock::time_point lastBlock = start;
    Clock::time_point lastLine = start - std::chrono::hours(1);
    const auto lineEvery = std::chrono::milliseconds(
        m_console.isTerminal() ? kStatusEveryMs : kStatusEveryMsNoTerminal);
    bool abortSent = false;
    std::string shown;
    while (job.workerBlock.workerDone.load(std::memory_order_acquire) == 0) {
        if (!abortSent && m_interrupt.load()) {
            job.workerBlock.abortRequested.store(1, std::memory_order_release);
            abortSent = true;
        }
        const JobProgress p = readProgress(job, secondsSince(start));
        const std::string line = statusLine(p, index, total, job.sourcePath);
        if (line != shown && Clock::now() - lastLine >= lineEvery) {
            m_console.status(line);
            shown = line;
            lastLine = Clock::now();
        }
        if (Clock::now() - lastBlock >= std::chrono::milliseconds(kProgressEveryMs)) {
            m_progress.update(index, job.sourcePath, p);
            lastBlock = Clock::now();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }

    const JobProgress p = readProgress(job, secondsSince(start));
    std::string line = statusLine(p, index, total, job.sourcePath);
    if (statusRow(p.status).succeeded) {
        char text[96];
        std::snprintf(text, sizeof text, "  %u frames in %.1f s", p.frames, secondsSince(start));
        line += text;
    }
    if (!job.destPath.empty())
        line += "  -> " + job.destPath;
    m_console.finishStatus(line);
    if (streamReachedNothing(job.workerBlock))
        m_console.message("moxel-cli: the stream server " + job.workerBlock.streamStats->server +
                          " never received anything");
    m_progress.jobEnded(index, job.sourcePath, p);
    return p.status;
}

void CliRunner::reportNotStarted(const std::vector<CliJob>& jobs, int from)
{
    if (!m_report)
        return;
    for (size_t i = size_t(from); i < jobs.size(); ++i)
        m_report->addNotStarted(jobs[i].source, jobs[i].destination, jobs[i].profilePath);
}

int CliRunner::run(const std::vector<CliJob>& jobs)
{
    bool allComplete = true;
    const int total = int(jobs.size());
    for (int i = 0; i < total; ++i) {
        if (m_interrupt.load()) {
            allComplete = false;
            m_console.message("moxel-cli: interrupted; " + std::to_string(total - i) +
                              " job(s) not started");
            reportNotStarted(jobs, i);
            break;
        }
        // A record per job: it must stay put until its worker has finished,
        // which runJob waits for.
        BatchJob job;
        job.reset();
        job.sourcePath = jobs[size_t(i)].source;
        job.destPath = jobs[size_t(i)].destination;
        const int doneBefore = m_alreadyDone;
        const JobStatus status = runJob(job, jobs[size_t(i)].profilePath, i + 1, total);
        if (m_report)
            m_report->add(job, jobs[size_t(i)].profilePath);
        const bool done = m_alreadyDone > doneBefore ||
                          (statusRow(status).succeeded && !streamReachedNothing(job.workerBlock));
        if (!done)
            allComplete = false;
        if (m_run.overwriteMode == OverwriteMode::Cancelled) {
            reportNotStarted(jobs, i + 1);
            break; // "Cancel job" ends the run
        }
    }
    m_progress.finish();
    return allComplete ? 0 : 1;
}

} // namespace moxel::cli
