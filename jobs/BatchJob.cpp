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
