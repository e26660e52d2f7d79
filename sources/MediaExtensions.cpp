#include "sources/MediaExtensions.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <string_view>

namespace moxel {

namespace {

// Named here as well: the demuxers of these find their files by probing
// alone (MPEG transport streams, WAV, ASF, MPEG program streams on DVDs).
constexpr const char* kCommonContainers[] = {"asf",  "avi",  "m2ts", "mkv", "mov", "mp4",
                                             "mpeg", "mpg",  "mts",  "ogv", "ts",  "vob",
                                             "wav",  "webm", "wma",  "wmv"};

// An extension goes into a filter pattern as it is: letters, digits and a
// few marks, nothing that a pattern or a filter text would read otherwise.
bool isPlainExtension(std::string_view extension)
{
    return !extension.empty() && std::all_of(extension.begin(), extension.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '+';
    });
}

void addList(std::string_view list, std::vector<std::string>& out)
{
    while (!list.empty()) {
        const size_t comma = list.find(',');
        std::string extension(list.substr(0, comma));
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
        extension.erase(0, extension.find_first_not_of(' '));
        extension.erase(extension.find_last_not_of(' ') + 1);
        for (char& c : extension)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        if (isPlainExtension(extension))
            out.push_back(std::move(extension));
    }
}

} // namespace

std::vector<std::string> readableExtensions()
{
    std::vector<std::string> extensions(std::begin(kCommonContainers), std::end(kCommonContainers));
    void* opaque = nullptr;
    while (const AVInputFormat* format = av_demuxer_iterate(&opaque))
        if (format->extensions)
            addList(format->extensions, extensions);
    std::sort(extensions.begin(), extensions.end());
    extensions.erase(std::unique(extensions.begin(), extensions.end()), extensions.end());
    return extensions;
}

std::string readableExtensionPattern()
{
    std::string pattern;
    for (const std::string& extension : readableExtensions()) {
        if (!pattern.empty())
            pattern += ';';
        pattern += "*." + extension;
    }
    return pattern;
}

} // namespace moxel
