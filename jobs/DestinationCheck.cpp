#include "jobs/DestinationCheck.h"

#include "encoder/StreamOutput.h"

namespace moxel {

std::string streamCopyFile(const std::string& destination)
{
    if (!isStreamDestination(destination.c_str()))
        return {};
    const size_t prefix = destination.compare(0, 3, "qz:") == 0 ? 3 : 5;
    const size_t hostEnd = destination.find(':', prefix);
    if (hostEnd == std::string::npos)
        return {};
    const size_t headerStart = destination.find(':', hostEnd + 1);
    if (headerStart == std::string::npos)
        return {};
    const size_t plus = destination.find('+', headerStart + 1);
    if (plus == std::string::npos)
        return {};
    return destination.substr(plus + 1);
}

std::string destinationFile(const std::string& destination)
{
    if (isStreamDestination(destination.c_str()))
        return streamCopyFile(destination);
    return destination;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash);
}

} // namespace moxel
