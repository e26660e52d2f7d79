#include "pipeline/FrameQueueReader.h"

#include <cstring>

namespace moxel {

bool readQueuedPicture(QueuedPicture& entry, uint8_t* output, size_t pictureBytes, bool& haveOutput)
{
    if (entry.repeat > 0) {
        if (!haveOutput)
            std::memcpy(output, entry.picture, pictureBytes);
        haveOutput = true;
        --entry.repeat;
        return false;
    }
    std::memcpy(output, entry.picture, pictureBytes);
    haveOutput = true;
    return true;
}

} // namespace moxel
