#include "tools/moxel-cli/RunReport.h"

#include "base/JsonWriter.h"
#include "profiles/AtomicFile.h"

#include <sstream>

namespace moxel::cli {

namespace {

// The report's word for how a job ended; anything short of an outcome (a
// job left idle or queued when the run stopped) was skipped.
std::string reportedStatus(JobStatus status)
{
    const JobStatusRow& row = statusRow(status);
    return row.outcome || status == JobStatus::Skipped ? row.word : "skipped";
}

void writeTime(JsonWriter& json, const char* name, const std::optional<JobClock::time_point>& time)
{
    json.key(name);
    if (time)
        json.value(isoTimeUtc(*time));
    else
        json.null();
}

void writeCounters(JsonWriter& json, const std::optional<JobCounters>& counters)
{
    json.key("counters");
    if (!counters) {
        json.null();
        return;
    }
    json.beginObject();
    for (const JobCounterField& field : kJobCounterFields)
        if (!field.streamOnly || counters->stream != 0)
            json.field(field.name, int64_t((*counters).*field.value));
    json.endObject();
}

} // namespace

void RunReport::add(const BatchJob& job, const std::string& profile)
{
    m_jobs.push_back({job.sourcePath, job.destPath, profile, reportedStatus(job.statusValue()),
                      job.workerBlock.log.snapshot()});
}

void RunReport::addNotStarted(const std::string& source, const std::string& destination,
                              const std::string& profile)
{
    m_jobs.push_back({source, destination, profile, "skipped", {}});
}

std::string RunReport::text() const
{
    std::ostringstream out;
    JsonWriter json(out);
    json.beginObject();
    json.field("program", "moxel-cli");
    json.key("jobs");
    json.beginArray();
    for (const ReportedJob& job : m_jobs) {
        json.beginObject();
        json.field("source", job.source);
        json.field("destination", job.destination);
        json.field("profile", job.profile);
        json.field("status", job.status);
        json.field("error", job.log.errorText);
        writeTime(json, "started", job.log.started);
        writeTime(json, "ended", job.log.ended);
        writeCounters(json, job.log.counters);
        json.key("log");
        json.beginArray();
        for (const KeptDiagnosticLine& line : job.log.lines)
            json.value(line.line);
        json.endArray();
        json.field("log_lines_left_out", uint64_t(job.log.linesLeftOut));
        json.endObject();
    }
    json.endArray();
    json.endObject();
    return out.str();
}

bool RunReport::write(const std::string& path) const
{
    return writeFileAtomically(path, text());
}

} // namespace moxel::cli
