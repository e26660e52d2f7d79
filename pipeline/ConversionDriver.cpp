#include "pipeline/ConversionDriver.h"

namespace moxel {

// Placeholder until the driver lands: every job fails at the start.
void startJob(BatchRunState&, BatchJob& job, const std::string&, Prompt&)
{
    job.setStatus(JobStatus::Error);
}

int runConversion(JobWorkerBlock* block)
{
    block->workerDone.store(1, std::memory_order_release);
    return 0;
}

} // namespace moxel
