// The states of a batch job and what the program makes of each. Every
// question asked of a status (by the scheduler and the list commands, the
// Status column, the status bar, the worker and moxel-cli) reads its row in
// kJobStatusTable, so a new state is one enumerator and one row.
//
// The values are stored in the job record's status word, which the
// user-interface thread and the job's worker share; they never change.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace moxel {

enum class JobStatus : uint32_t {
    Idle = 0,
    Queued = 1,
    Initializing = 2,
    Encoding = 3,
    Paused = 4,
    Complete = 5,
    Error = 6,
    Aborted = 7,
    Skipped = 8,
};

// What follows a state's text in the Status column.
enum class StatusDetail : uint8_t {
    None,
    QueueNumber, // " [#3]": the job's place in the queue
    MediaTime,   // " [00:05]": the media time converted so far
};

// When a list command may act on a job in a state. A job is settled once
// its worker has finished after giving its outcome.
enum class StatusPermit : uint8_t {
    Never,
    Always,
    OnceSettled,
};

struct JobStatusRow {
    JobStatus status = JobStatus::Idle;
    const char* word = "unknown"; // moxel-cli's one word for programs
    const char* tally = nullptr;  // counted in the status bar as "2 encoding"; null: not counted
    const char* text = "";        // the Status column text, before its detail
    StatusDetail detail = StatusDetail::None;
    bool queued = false;     // waits for the scheduler to start it
    bool working = false;    // a worker was started and has given no outcome yet
    bool outcome = false;    // a worker's last status: how the job ended
    bool converting = false; // the worker's conversion loop goes on, perhaps paused
    bool succeeded = false;  // the output is whole: the job counts as done
    StatusPermit requeue = StatusPermit::Never; // encode puts it in the queue
    StatusPermit reset = StatusPermit::Never;   // reset status makes it idle
    StatusPermit remove = StatusPermit::Never;  // remove takes it off the list

    // A worker was started for the job (it may have finished since).
    constexpr bool hadWorker() const { return working || outcome; }
    // Queued or under way: the queue is not through with the job.
    constexpr bool inProgress() const { return queued || working; }
};

// Shown instead of the state's text while an abort is asked for and the
// worker has not finished yet.
inline constexpr const char* kAbortingText = "aborting";

inline constexpr std::array<JobStatusRow, 9> kJobStatusTable = {{
    {.status = JobStatus::Idle,
     .word = "idle",
     .text = "",
     .requeue = StatusPermit::Always,
     .remove = StatusPermit::Always},
    {.status = JobStatus::Queued,
     .word = "queued",
     .tally = "queued",
     .text = "queued",
     .detail = StatusDetail::QueueNumber,
     .queued = true,
     .reset = StatusPermit::Always,
     .remove = StatusPermit::Always},
    {.status = JobStatus::Initializing,
     .word = "initializing",
     .tally = "starting",
     .text = "initializing",
     .working = true},
    {.status = JobStatus::Encoding,
     .word = "encoding",
     .tally = "encoding",
     .text = "encoding",
     .detail = StatusDetail::MediaTime,
     .working = true,
     .converting = true},
    {.status = JobStatus::Paused,
     .word = "paused",
     .tally = "paused",
     .text = "paused",
     .detail = StatusDetail::MediaTime,
     .working = true,
     .converting = true},
    {.status = JobStatus::Complete,
     .word = "complete",
     .tally = "complete",
     .text = "complete",
     .detail = StatusDetail::MediaTime,
     .outcome = true,
     .succeeded = true,
     .reset = StatusPermit::OnceSettled,
     .remove = StatusPermit::OnceSettled},
    {.status = JobStatus::Error,
     .word = "error",
     .tally = "error",
     .text = "error",
     .outcome = true,
     .requeue = StatusPermit::OnceSettled,
     .reset = StatusPermit::OnceSettled,
     .remove = StatusPermit::OnceSettled},
    {.status = JobStatus::Aborted,
     .word = "aborted",
     .tally = "aborted",
     .text = "aborted by user",
     .outcome = true,
     .requeue = StatusPermit::OnceSettled,
     .reset = StatusPermit::OnceSettled,
     .remove = StatusPermit::OnceSettled},
    {.status = JobStatus::Skipped,
     .word = "skipped",
     .tally = "skipped",
     .text = "skipped",
     .requeue = StatusPermit::Always,
     .reset = StatusPermit::Always,
     .remove = StatusPermit::Always},
}};

// The row of a value no state has: nothing is allowed and nothing is shown.
inline constexpr JobStatusRow kUnknownStatusRow{};

constexpr const JobStatusRow& statusRow(JobStatus status)
{
    const size_t index = size_t(status);
    return index < kJobStatusTable.size() ? kJobStatusTable[index] : kUnknownStatusRow;
}

namespace detail {
constexpr bool rowsInEnumOrder()
{
    for (size_t i = 0; i < kJobStatusTable.size(); ++i)
        if (size_t(kJobStatusTable[i].status) != i)
            return false;
    return true;
}
} // namespace detail
static_assert(detail::rowsInEnumOrder(), "kJobStatusTable holds one row per state, in enum order");

} // namespace moxel
