#include "encoder/StreamOutput.h"

#include <cstring>

namespace moxel {

bool isStreamDestination(const char* destination)
{
    return destination &&
           (std::strncmp(destination, "qz:", 3) == 0 || std::strncmp(destination, "brox:", 5) == 0);
}

StreamOutput::StreamOutput() = default;
StreamOutput::~StreamOutput() = default;

const char* StreamOutput::open(const char*, std::string&)
{
    return "openOutput: streaming to a server is not available in this build";
}

void StreamOutput::sendFrame(const uint8_t*, size_t) {}

} // namespace moxel
