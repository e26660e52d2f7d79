#include "tools/moxel-cli/CliRunner.h"

#include "jobs/JobStart.h"
#include "jobs/ProfileStore.h"
#include "jobs/StreamOutcome.h"
#include "tools/moxel-cli/CompleteKmf.h"
#include "tools/moxel-cli/RunReport.h"

#include <cstdio>
#include <thread>

namespace moxel::cli {

namespace {

// Between the lines of the jobs that run at the same time.
const char* const kLineSeparator = "  |  ";

std::string fileName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "[2/5] " before a job's line when the run has more than one.
std::string countPrefix(int number, int total)
{
    return total > 1 ? "[" + std::to_string(number) + "/" + std::to_string(total) + "] "
                     : std::string();
}

} // namespace

CliRunner::CliRunner(Console& console, Prompt& prompt, ProgressWriter& progress,
                     const std::atomic<bool>& interrupt)
    : m_console(console), m_prompt(prompt), m_progress(progress), m_interrupt(interrupt)
{
}

int CliRunner::indexOf(const BatchJob& job) const
{
    for (int i = 0; m_list && i < m_list->count(); ++i)
        if (&m_list->job(i) == &job)
            return i;
    return -1;
}

std::string CliRunner::statusLine(const JobProgress& p, int index, const std::string& source) const
{
    std::string line = countPrefix(index + 1, m_list ? m_list->count() : 1);
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

bool CliRunner::skipDone(BatchJob& job, int index)
{
    if (!m_skipExisting || job.destPath.empty() || !isCompleteKmfFile(job.destPath))
        return false;
    job.workerBlock.log.begin(nullptr);
    job.workerBlock.log.addMessage("already done",
                                   job.destPath + " is a complete KMF file; not converted again");
    job.workerBlock.log.end();
    job.setStatus(JobStatus::Skipped);
    m_console.finishStatus(countPrefix(index + 1, m_list->count()) + fileName(job.sourcePath) +
                           ": already done  -> " + job.destPath);
    m_shown.clear();
    JobProgress p;
    p.status = JobStatus::Skipped;
    m_progress.jobEnded(index + 1, job.sourcePath, p);
    return true;
}

JobStarter CliRunner::starter()
{
    return
        [this](BatchRunState& run, BatchJob& job, const std::string& profilePath, Prompt& prompt) {
            const int index = indexOf(job);
            Watch& watch = m_watch.at(size_t(index));
            if (interrupted()) {
                job.setStatus(JobStatus::Skipped);
                // The scheduler puts the rest back to idle.
                run.overwriteMode = OverwriteMode::Cancelled;
                return;
            }
            watch.started = true;
            if (skipDone(job, index)) {
                watch.alreadyDone = true;
                watch.ended = true;
                return;
            }
            watch.start = Clock::now();
            startJob(run, job, m_profileOf.empty() ? profilePath : m_profileOf.at(size_t(index)),
                     prompt);
        };
}

void CliRunner::jobEnded(BatchJob& job, int index)
{
    const double seconds =
        std::chrono::duration<double>(Clock::now() - m_watch[size_t(index)].start).count();
    const JobProgress p = readProgress(job, seconds);
    std::string line = statusLine(p, index, job.sourcePath);
    if (statusRow(p.status).succeeded) {
        char text[96];
        std::snprintf(text, sizeof text, "  %u frames in %.1f s", p.frames, seconds);
        line += text;
    }
    if (!job.destPath.empty())
        line += "  -> " + job.destPath;
    m_console.finishStatus(line);
    m_shown.clear();
    if (streamReachedNothing(job.workerBlock))
        m_console.message("moxel-cli: the stream server " + job.workerBlock.streamStats->server +
                          " never received anything");
    m_progress.jobEnded(index + 1, job.sourcePath, p);
}

void CliRunner::look(BatchList& list, bool blocksDue)
{
    std::string line;
    for (int i = 0; i < list.count(); ++i) {
        Watch& watch = m_watch[size_t(i)];
        if (!watch.started || watch.ended)
            continue;
        BatchJob& job = list.job(i);
        if (job.workerBlock.workerDone.load(std::memory_order_acquire) != 0) {
            jobEnded(job, i);
            watch.ended = true;
            continue;
        }
        const JobProgress p =
            readProgress(job, std::chrono::duration<double>(Clock::now() - watch.start).count());
        line += (line.empty() ? "" : kLineSeparator) + statusLine(p, i, job.sourcePath);
        // A job that has its outcome but is still finishing its file gets
        // one block with that outcome: the last one, once its worker ends.
        if (blocksDue && statusRow(p.status).working)
            m_progress.update(i + 1, job.sourcePath, p);
    }
    const auto lineEvery = std::chrono::milliseconds(
        m_console.isTerminal() ? kStatusEveryMs : kStatusEveryMsNoTerminal);
    if (!line.empty() && line != m_shown && Clock::now() - m_lastLine >= lineEvery) {
        m_console.status(line);
        m_shown = line;
        m_lastLine = Clock::now();
    }
}

int CliRunner::drive(BatchList& list, const std::function<std::string(int)>& profileName)
{
    m_list = &list;
    m_watch.assign(size_t(list.count()), Watch{});
    m_lastLine = Clock::now() - std::chrono::hours(1);
    m_shown.clear();
    list.setJobsAtOnce(m_jobsAtOnce);
    list.encodeJobs(true);

    Clock::time_point lastBlock = Clock::now();
    bool abortSent = false;
    for (;;) {
        if (!abortSent && interrupted()) {
            list.abortJobs(true); // queued jobs back to idle, running ones asked to stop
            abortSent = true;
        }
        list.scheduleNext();
        const bool blocksDue =
            Clock::now() - lastBlock >= std::chrono::milliseconds(kProgressEveryMs);
        if (blocksDue)
            lastBlock = Clock::now();
        look(list, blocksDue);
        if (list.isFinished())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    look(list, false); // a job that ended since the last look

    int complete = 0;
    int notStarted = 0;
    for (int i = 0; i < list.count(); ++i) {
        const BatchJob& job = list.job(i);
        const Watch& watch = m_watch[size_t(i)];
        if (watch.alreadyDone ||
            (job.statusRow().succeeded && !streamReachedNothing(job.workerBlock)))
            ++complete;
        notStarted += watch.started ? 0 : 1;
        if (m_report && watch.started)
            m_report->add(job, profileName(i));
        else if (m_report)
            m_report->addNotStarted(job.sourcePath, job.destPath, profileName(i));
    }
    if (notStarted > 0)
        m_console.message(std::string("moxel-cli: ") + (interrupted() ? "interrupted; " : "") +
                          std::to_string(notStarted) + " job(s) not started");
    m_list = nullptr;
    return complete;
}

int CliRunner::run(const std::vector<CliJob>& jobs)
{
    const ProfileStore noStore; // each job names its profile file
    BatchList list(noStore, m_prompt, starter());
    m_profileOf.clear();
    for (const CliJob& cliJob : jobs) {
        BatchJob& job = list.appendJob();
        job.sourcePath = cliJob.source;
        job.destPath = cliJob.destination;
        m_profileOf.push_back(cliJob.profilePath);
    }
    const int complete = drive(list, [&jobs](int i) { return jobs.at(size_t(i)).profilePath; });
    m_profileOf.clear();
    m_progress.finish();
    return complete == int(jobs.size()) ? 0 : 1;
}

} // namespace moxel::cli
