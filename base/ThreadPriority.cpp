#include "base/ThreadPriority.h"

#include <algorithm>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace moxel {

int niceValueForPriority(int level)
{
    const long nice = -static_cast<long>(level) * 5;
    return static_cast<int>(std::clamp(nice, -20L, 19L));
}

bool applyThreadPriority(int level)
{
    // On Linux a thread id given to setpriority names that thread alone.
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    return setpriority(PRIO_PROCESS, thread, niceValueForPriority(level)) == 0;
}

} // namespace moxel
