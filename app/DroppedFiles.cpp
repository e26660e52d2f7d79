#include "app/DroppedFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace moxel::gui {

namespace fs = std::filesystem;

bool hasMediaExtension(const std::string& path)
{
    static const char* const kExtensions[] = {
        ".avi", ".mpg", ".mpeg", ".mov",  ".mp4",  ".m4v", ".mkv", ".webm", ".wmv",
        ".asf", ".flv", ".ts",   ".m2ts", ".mts",  ".vob", ".ogv", ".ogg",  ".3gp",
        ".dv",  ".y4m", ".wav",  ".mp3",  ".flac", ".m4a", ".aac", ".opus"};
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    for (const char* known : kExtensions)
        if (extension == known)
            return true;
    return false;
}

std::vector<std::string> expandDroppedPaths(const std::vector<std::string>& dropped)
{
    std::vector<std::string> paths;
    for (const std::string& path : dropped) {
        std::error_code error;
        if (!fs::is_directory(path, error)) {
            paths.push_back(path);
            continue;
        }
        std::vector<std::string> inside;
        const auto options = fs::directory_options::skip_permission_denied;
        for (fs::recursive_directory_iterator it(path, options, error), end; !error && it != end;
             it.increment(error)) {
            std::error_code typeError;
            if (it->is_regular_file(typeError) && hasMediaExtension(it->path().string()))
                inside.push_back(it->path().string());
        }
        std::sort(inside.begin(), inside.end());
        paths.insert(paths.end(), inside.begin(), inside.end());
    }
    return paths;
}

} // namespace moxel::gui
