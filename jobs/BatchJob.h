// One conversion job: one row of the batch list.
//
// The record is shared by the user-interface thread, which creates, queues,
// pauses, aborts and removes jobs, and the job's worker thread, which writes
// status and progress. They never exchange messages: the shared words
// (status, progress, abortRequested, workerDone, audioBytesPerSecond) are
// atomics, each written by one side at a time. From the job start until
// workerDone is set the worker holds pointers into the record, so a record
// must never move or be destroyed in that time; the batch list keeps records
// behind pointers for this reason.
#pragma once

#include "encoder/StreamStats.h"
#include "jobs/JobLog.h"
#include "jobs/JobPrompt.h"
#include "jobs/JobStatus.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace moxel {

class DiagnosticSink;
class KmfConfig;
class KmfEncoder;
class Prompt;
class SourceHolder;

// The part of the record handed to the job's worker thread. The job start
// fills it; the worker owns and destroys the objects once it runs.
struct JobWorkerBlock {
    JobWorkerBlock();
    ~JobWorkerBlock();
    JobWorkerBlock(const JobWorkerBlock&) = delete;
    JobWorkerBlock& operator=(const JobWorkerBlock&) = delete;

    std::unique_ptr<SourceHolder> source;
    std::unique_ptr<KmfEncoder> encoder;
    std::unique_ptr<KmfConfig> config; // dropped by the worker once the encoder is set up
    std::atomic<int32_t>* progressPtr = nullptr;
    std::atomic<uint32_t>* statusPtr = nullptr; // holds a JobStatus value
    std::atomic<uint32_t> abortRequested{0};    // written by the user interface
    std::atomic<uint32_t> workerDone{0};        // the worker's last write
    uint64_t threadId = 0;
    std::string sourceCopy;                      // sourcePath at the job start
    std::string destCopy;                        // destPath at the job start
    std::atomic<int32_t> audioBytesPerSecond{0}; // rate x channels x 2, set by the worker
    Prompt* prompt = nullptr; // where the worker's message boxes go (the job start sets messages)
    // For progress displays, written by the worker only: the frames built so
    // far and the source's length in ms once it is open (0 while unknown).
    std::atomic<uint32_t> framesProduced{0};
    std::atomic<int32_t> durationMs{0};
    // The source's own picture size and frame rate, written by the worker
    // once the source is open (0 while unknown and for sound alone); they
    // stay after the run, for the list's Meta column.
    std::atomic<int32_t> sourceWidth{0};
    std::atomic<int32_t> sourceHeight{0};
    std::atomic<double> sourceFrameRate{0.0};
    // Where the job's diagnostic lines go on to from its log, set before the
    // job start. Null: the process-wide sink.
    std::shared_ptr<DiagnosticSink> diagnostics;
    // What became of a stream destination's frames (empty for a file): set
    // by the worker after the encoder has closed, before workerDone, and
    // read only once workerDone is 1.
    std::optional<StreamStats> streamStats;
    // The record of the last run: messages, lines, counters, times. The
    // worker installs the log's sink for its thread and the threads it starts.
    JobLog log;
    // The prompt of the job's start, worker and source: records each message
    // in log and passes it on without waiting.
    JobPrompt messages{log};
};

struct BatchJob {
    std::string sourcePath; // full path of the source file
    std::string destPath;   // full path of the output file or a stream destination
    bool selected = false;  // copy of the row's selection state
    bool isNew = false;     // made by the add-sources operation in progress
    std::atomic<uint32_t> status{uint32_t(JobStatus::Idle)};
    // Media time converted so far: positive in 1/20000 s for sources with
    // video, negative (bytes / 9) for sources without.
    std::atomic<int32_t> progress{0};
    uint32_t queueNumber = 0;
    JobWorkerBlock workerBlock;
    int profileIndex = 0; // index in the profile store

    JobStatus statusValue() const { return JobStatus(status.load(std::memory_order_acquire)); }
    void setStatus(JobStatus s) { status.store(uint32_t(s), std::memory_order_release); }
    // The status table's row for the status now.
    const JobStatusRow& statusRow() const { return moxel::statusRow(statusValue()); }

    // Clears selected, isNew, status, abortRequested, profileIndex, the log
    // and what is known of the source; the paths and the rest stay as they are.
    void reset();
    // Puts back how the job ended in an earlier run of the program (the kept
    // queue): an outcome or Skipped, with its progress and error text, and
    // no worker. Other statuses leave the job Idle.
    void restoreOutcome(JobStatus outcome, int32_t progressValue, int32_t bytesPerSecond,
                        const std::string& errorText);
    // An outcome (Complete, Error or Aborted), and the worker has gone.
    bool isSettled() const;
    // Whether the permit of the status table that rule names (requeue,
    // reset, remove) lets a list command act on the job now.
    bool permits(StatusPermit JobStatusRow::*rule) const;
    // An abort was asked for and the worker has not finished yet.
    bool isAborting() const;
};

// What the job start does about an output file that exists already.
enum class OverwriteMode : int {
    Ask = 1,           // ask before overwriting
    OverwriteAll = -1, // overwrite all for the rest of the run
    Cancelled = 0,     // the user cancelled the run
};

// The two run-wide fields of the batch list that the job start reads and
// writes. Used on the user-interface thread only.
struct BatchRunState {
    OverwriteMode overwriteMode = OverwriteMode::Ask;
    std::string promptText; // text of the last overwrite prompt
};

} // namespace moxel
