#include "jobs/JobsAtOnce.h"

#include "jobs/JobWorker.h"

#include <algorithm>

namespace moxel {

int jobsAtOnceSetting()
{
    return std::max(jobSetting(kJobsAtOnceKey, kDefaultJobsAtOnce), 1);
}

} // namespace moxel
