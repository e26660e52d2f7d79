#include "jobs/BatchJob.h"

#include "encoder/KmfEncoder.h"
#include "profiles/KmfConfig.h"
#include "sources/SourceHolder.h"

namespace moxel {

JobWorkerBlock::JobWorkerBlock() = default;
JobWorkerBlock::~JobWorkerBlock() = default;

void BatchJob::reset()
{
    selected = false;
    isNew = false;
    setStatus(JobStatus::Idle);
    workerBlock.abortRequested.store(0, std::memory_order_release);
    profileIndex = 0;
    workerBlock.log.clear();
    workerBlock.durationMs.store(0, std::memory_order_relaxed);
    workerBlock.sourceWidth.store(0, std::memory_order_relaxed);
    workerBlock.sourceHeight.store(0, std::memory_order_relaxed);
    workerBlock.sourceFrameRate.store(0.0, std::memory_order_relaxed);
}

void BatchJob::restoreOutcome(JobStatus outcome, int32_t progressValue, int32_t bytesPerSecond,
                              const std::string& errorText)
{
    const JobStatusRow& row = moxel::statusRow(outcome);
    const bool kept = row.outcome || outcome == JobStatus::Skipped;
    workerBlock.log.clear();
    workerBlock.log.setErrorText(kept ? errorText : std::string());
    progress.store(kept ? progressValue : 0, std::memory_order_relaxed);
    workerBlock.audioBytesPerSecond.store(kept ? bytesPerSecond : 0, std::memory_order_relaxed);
    workerBlock.abortRequested.store(0, std::memory_order_release);
    // Settled: no worker of this program ever had the job.
    workerBlock.workerDone.store(1, std::memory_order_release);
    setStatus(kept ? outcome : JobStatus::Idle);
}

bool BatchJob::isSettled() const
{
    return statusRow().outcome && workerBlock.workerDone.load(std::memory_order_acquire) != 0;
}

bool BatchJob::permits(StatusPermit JobStatusRow::*rule) const
{
    const StatusPermit permit = statusRow().*rule;
    return permit == StatusPermit::Always || (permit == StatusPermit::OnceSettled && isSettled());
}

bool BatchJob::isAborting() const
{
    return workerBlock.abortRequested.load(std::memory_order_acquire) != 0 &&
           workerBlock.workerDone.load(std::memory_order_acquire) == 0;
}

} // namespace moxel
