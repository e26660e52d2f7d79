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
}

bool BatchJob::isSettled() const
{
    const JobStatus s = statusValue();
    const bool finished = s == JobStatus::Complete || s == JobStatus::Error || s == JobStatus::Aborted;
    return finished && workerBlock.workerDone.load(std::memory_order_acquire) != 0;
}

bool BatchJob::isAborting() const
{
    return workerBlock.abortRequested.load(std::memory_order_acquire) != 0 &&
           workerBlock.workerDone.load(std::memory_order_acquire) == 0;
}

} // namespace moxel
