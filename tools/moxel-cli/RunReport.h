// moxel-cli's --report FILE: one JSON document for the run, with an object
// per job in the order given: source, destination, profile, status
// (complete, error, skipped or aborted; a job the run never started counts
// as skipped), error (the messages the job gave, "" for none), started and
// ended (ISO 8601 UTC, null when it never ran), counters (the job's counters,
// jobs/JobCounters.h, null when it never ran; the stream_ fields only for
// stream destinations), log (its diagnostic lines) and log_lines_left_out
// (lines between the first and the last few hundred that were not kept).
// The file is written to a temporary beside it and renamed into place.
#pragma once

#include "jobs/BatchJob.h"

#include <string>
#include <vector>

namespace moxel::cli {

struct ReportedJob {
    std::string source;
    std::string destination;
    std::string profile;
    std::string status;
    JobLogSnapshot log;
};

class RunReport {
  public:
    // Takes the job's outcome and log, once its worker has finished.
    void add(const BatchJob& job, const std::string& profile);
    // A job of the run that was never started.
    void addNotStarted(const std::string& source, const std::string& destination,
                       const std::string& profile);

    const std::vector<ReportedJob>& jobs() const { return m_jobs; }
    std::string text() const;
    // False when the file could not be written.
    bool write(const std::string& path) const;

  private:
    std::vector<ReportedJob> m_jobs;
};

} // namespace moxel::cli
