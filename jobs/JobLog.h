// The record a job keeps of its last run: the messages it gave the user
// (its error text), its diagnostic lines (bounded, see
// base/RecordingDiagnosticSink.h), its counters (jobs/JobCounters.h) and
// when it started and ended. The job start begins a run; the worker, the
// threads it starts and the job's prompt (jobs/JobPrompt.h) fill it; the
// user-interface thread, moxel-cli and the queue file read it at any time.
// Everything is under one lock.
#pragma once

#include "base/RecordingDiagnosticSink.h"
#include "jobs/JobCounters.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace moxel {

using JobClock = std::chrono::system_clock;

// A copy of a job's record, taken at one moment.
struct JobLogSnapshot {
    std::string errorText;
    std::optional<JobClock::time_point> started;
    std::optional<JobClock::time_point> ended;
    std::optional<JobCounters> counters; // once the worker has read them
    std::vector<KeptDiagnosticLine> lines;
    size_t linesLeftOut = 0;
};

class JobLog {
  public:
    // A new run: forgets the last one, notes the start time and makes the
    // sink that keeps this run's lines and passes them to next (null: the
    // process-wide sink).
    void begin(std::shared_ptr<DiagnosticSink> next);
    // The sink of the run, null before the first begin.
    std::shared_ptr<DiagnosticSink> sink() const;
    // A message the user was shown: added to the error text as
    // "title: text" (one message a line) and kept among the lines.
    void addMessage(const std::string& title, const std::string& text);
    // A line for the log alone (a question and its answer), not passed on.
    void keepLine(DiagnosticLevel level, const std::string& line);
    void setCounters(const JobCounters& counters);
    // Notes the end time.
    void end();
    // Forgets everything.
    void clear();

    // The messages of the run, "" when there were none.
    std::string errorText() const;
    // The error text of a run of an earlier program (the kept queue).
    void setErrorText(std::string text);
    JobLogSnapshot snapshot() const;

  private:
    std::shared_ptr<RecordingDiagnosticSink> recorder() const;

    mutable std::mutex m_lock;
    std::string m_errorText;
    std::optional<JobClock::time_point> m_started;
    std::optional<JobClock::time_point> m_ended;
    std::optional<JobCounters> m_counters;
    std::shared_ptr<RecordingDiagnosticSink> m_lines;
};

// "2026-03-01T12:00:05.250Z": a time in ISO 8601, UTC, to the millisecond.
std::string isoTimeUtc(JobClock::time_point time);

} // namespace moxel
