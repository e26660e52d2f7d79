#include "tools/moxel-cli/ProfileChoice.h"

#include <filesystem>
#include <system_error>

namespace moxel::cli {

std::string bundledProfilePath(const std::string& programFolder)
{
    return programFolder + "/samples/" + kBundledProfileName;
}

std::string chooseProfile(const std::string& requested, const std::string& programFolder,
                          std::string& error)
{
    const std::string path = requested.empty() ? bundledProfilePath(programFolder) : requested;
    std::error_code code;
    if (std::filesystem::is_regular_file(path, code))
        return path;
    error = requested.empty()
                ? "the bundled profile " + path + " is missing; name one with --profile"
                : "no profile file named " + path;
    return {};
}

} // namespace moxel::cli
