#include "sources/LibraryLog.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdlib>
#include <cstring>

namespace moxel {

namespace {

struct NamedLevel {
    const char* name;
    int level;
};

const NamedLevel kLevels[] = {
    {"quiet", AV_LOG_QUIET},     {"panic", AV_LOG_PANIC}, {"fatal", AV_LOG_FATAL},
    {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
    {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG}, {"trace", AV_LOG_TRACE},
};

} // namespace

void setLibraryLogLevel()
{
    int level = AV_LOG_WARNING;
    if (const char* wanted = std::getenv("MOXEL_AV_LOGLEVEL"))
        for (const NamedLevel& named : kLevels)
            if (std::strcmp(named.name, wanted) == 0)
                level = named.level;
    av_log_set_level(level);
}

} // namespace moxel
