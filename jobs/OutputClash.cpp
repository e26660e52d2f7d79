#include "jobs/OutputClash.h"

#include "jobs/BatchJob.h"
#include "jobs/DestinationCheck.h"

#include <filesystem>
#include <system_error>

namespace moxel {

namespace fs = std::filesystem;

std::string fileIdentity(const std::string& path)
{
    if (path.empty())
        return {};
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    if (error)
        absolute = path;
    // Follows the links of the part that exists; the rest is made normal.
    const fs::path resolved = fs::weakly_canonical(absolute, error);
    return (error ? absolute.lexically_normal() : resolved).string();
}

BusyFiles busyFilesOf(const BatchJob& job)
{
    const JobWorkerBlock& block = job.workerBlock;
    return {fileIdentity(destinationFile(block.destCopy)), fileIdentity(block.sourceCopy)};
}

std::string clashingFile(const BatchJob& job, const std::vector<BusyFiles>& busy)
{
    if (busy.empty())
        return {};
    const std::string output = fileIdentity(destinationFile(job.destPath));
    const std::string source = fileIdentity(job.sourcePath);
    for (const BusyFiles& other : busy) {
        if (!output.empty() && (output == other.output || output == other.source))
            return output;
        if (!other.output.empty() && source == other.output)
            return source;
    }
    return {};
}

} // namespace moxel
