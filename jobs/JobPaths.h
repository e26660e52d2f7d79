// Path rules of batch jobs: default destinations, the Encoding Details name
// template, and the limits a destination must keep.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace moxel {

// Longest path the system takes (PATH_MAX less its terminator) and longest
// file name (NAME_MAX).
inline constexpr size_t kMaxPathChars = 4095;
inline constexpr size_t kMaxFileNameChars = 255;

// The part after the last '/', the whole path when it has none.
std::string_view fileNamePart(std::string_view path);
// The part before the last '/', empty when there is none.
std::string_view folderPart(std::string_view path);
// folder with a '/' appended unless it already ends in one.
std::string withTrailingSlash(std::string_view folder);

// The source path with its extension replaced by ".kmf" (".kmf" appended
// when the file name has no extension). Only a '.' in the file name counts,
// and not one that begins it.
std::string defaultDestination(std::string_view sourcePath);

// The longest common prefix of the file names of the destinations; kept
// when it has at least 4 characters and ends in ".kmf" (any case),
// otherwise "*.kmf" is appended. Empty input gives "*.kmf".
std::string initialPattern(const std::vector<std::string>& destinations);
// What '*' stands for in fileName: fileName less the longest prefix it
// shares with pattern and then less the longest suffix it shares with the
// pattern's end.
std::string varyingPart(std::string_view fileName, std::string_view pattern);
// The template with each '*' replaced by the varying part of fileName.
std::string expandTemplate(std::string_view nameTemplate, std::string_view fileName,
                           std::string_view pattern);

// Empty when path fits the system's limits, else the reason.
std::string pathLimitProblem(std::string_view path);

// ASCII letter case ignored.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace moxel
