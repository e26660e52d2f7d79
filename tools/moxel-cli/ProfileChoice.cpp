#include "tools/moxel-cli/ProfileChoice.h"

#include "jobs/ProfileStore.h"

#include <algorithm>
#include <cctype>
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
                : "no profile file or profile named \"" + requested +
                      "\" (moxel-cli --list-profiles shows the profiles)";
    return {};
}

std::string storeProfilePath(const std::string& requested, const ProfileStore& store)
{
    int at = store.findExact(requested);
    if (at < 0)
        at = store.findIgnoringCase(requested);
    const auto isDigit = [](unsigned char c) { return std::isdigit(c) != 0; };
    if (at < 0 && !requested.empty() && requested.size() <= 9 &&
        std::all_of(requested.begin(), requested.end(), isDigit))
        at = std::stoi(requested);
    return store.filePath(at);
}

} // namespace moxel::cli
