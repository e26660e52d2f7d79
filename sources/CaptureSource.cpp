#include "sources/CaptureSource.h"

namespace moxel {

bool CaptureSource::open(const std::string&, const std::string&)
{
    return false;
}

int CaptureSource::getVideoFrame(const uint8_t** picture)
{
    if (picture)
        *picture = nullptr;
    return 0;
}

int CaptureSource::getAudio(uint8_t*, int, int* length)
{
    if (length)
        *length = 0;
    return 0;
}

int CaptureSource::close()
{
    return 0;
}
int CaptureSource::setOption(const char*, int)
{
    return 0;
}
int CaptureSource::setOption(const char*, double)
{
    return 0;
}

} // namespace moxel
