#include "jobs/JobPaths.h"

#include <algorithm>

namespace moxel {

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

size_t commonPrefixLength(std::string_view a, std::string_view b)
{
    size_t n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        ++n;
    return n;
}

} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

std::string_view fileNamePart(std::string_view path)
{
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view folderPart(std::string_view path)
{
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

std::string withTrailingSlash(std::string_view folder)
{
    std::string out(folder);
    if (out.empty() || out.back() != '/')
        out += '/';
    return out;
}

std::string defaultDestination(std::string_view sourcePath)
{
    const size_t nameStart = sourcePath.size() - fileNamePart(sourcePath).size();
    size_t dot = sourcePath.rfind('.');
    if (dot == std::string_view::npos || dot <= nameStart)
        return std::string(sourcePath) + ".kmf";
    return std::string(sourcePath.substr(0, dot)) + ".kmf";
}

std::string initialPattern(const std::vector<std::string>& destinations)
{
    std::string prefix;
    if (!destinations.empty()) {
        std::string_view common = fileNamePart(destinations.front());
        for (const std::string& dest : destinations)
            common = common.substr(0, commonPrefixLength(common, fileNamePart(dest)));
        prefix = common;
    }
    if (prefix.size() >= 4 &&
        equalsIgnoringCase(std::string_view(prefix).substr(prefix.size() - 4), ".kmf"))
        return prefix;
    return prefix + "*.kmf";
}

std::string varyingPart(std::string_view fileName, std::string_view pattern)
{
    std::string_view rest = fileName.substr(commonPrefixLength(fileName, pattern));
    size_t suffix = 0;
    while (suffix < rest.size() && suffix < pattern.size() &&
           rest[rest.size() - 1 - suffix] == pattern[pattern.size() - 1 - suffix])
        ++suffix;
    return std::string(rest.substr(0, rest.size() - suffix));
}

std::string expandTemplate(std::string_view nameTemplate, std::string_view fileName,
                           std::string_view pattern)
{
    const std::string varying = varyingPart(fileName, pattern);
    std::string out;
    for (char c : nameTemplate) {
        if (c == '*')
            out += varying;
        else
            out += c;
    }
    return out;
}

std::string pathLimitProblem(std::string_view path)
{
    if (path.size() > kMaxPathChars)
        return "The path is longer than " + std::to_string(kMaxPathChars) + " characters";
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end - start > kMaxFileNameChars)
            return "A name in the path is longer than " + std::to_string(kMaxFileNameChars) +
                   " characters";
        start = end + 1;
    }
    return {};
}

} // namespace moxel
