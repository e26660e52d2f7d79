#include "tools/moxel-cli/StandardOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace moxel::cli {

bool namesStandardOutput(const std::string& destination)
{
    return destination == "-" || destination == "/dev/stdout";
}

int takeStandardOutput()
{
    std::fflush(stdout);
    const int taken = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (taken < 0)
        return -1;
    if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        close(taken);
        return -1;
    }
    return taken;
}

} // namespace moxel::cli
