#include "jobs/BatchFile.h"

#include "jobs/BatchList.h"
#include "jobs/JobPaths.h"
#include "jobs/ProfileStore.h"

#include <algorithm>

namespace moxel {

namespace {

constexpr size_t kMaxReportedProblems = 20;

bool fitsLine(const std::string& field)
{
    return field.find_first_of("\t\r\n") == std::string::npos;
}

} // namespace

std::string formatBatchFile(const std::vector<BatchFileEntry>& entries,
                            std::vector<size_t>* skipped)
{
    std::string bytes;
    for (size_t i = 0; i < entries.size(); ++i) {
        const BatchFileEntry& e = entries[i];
        if (!fitsLine(e.sourcePath) || !fitsLine(e.destPath) || !fitsLine(e.profileName)) {
            if (skipped)
                skipped->push_back(i);
            continue;
        }
        bytes += e.sourcePath;
        bytes += '\t';
        bytes += e.destPath;
        bytes += '\t';
        bytes += e.profileName;
        bytes += "\r\n";
    }
    return bytes;
}

std::vector<BatchFileEntry> batchEntries(const BatchList& list, const ProfileStore& profiles,
                                         bool selectedOnly)
{
    std::vector<BatchFileEntry> entries;
    for (int i = 0; i < list.count(); ++i) {
        const BatchJob& job = list.job(i);
        if (selectedOnly && !job.selected)
            continue;
        entries.push_back(
            {job.sourcePath, job.destPath, profiles.displayName(job.profileIndex), 0});
    }
    return entries;
}

ParsedBatchFile parseBatchFile(std::string_view bytes)
{
    ParsedBatchFile parsed;
    int lineNumber = 0;
    while (!bytes.empty()) {
        size_t lf = bytes.find('\n');
        std::string_view line = bytes.substr(0, lf);
        bytes.remove_prefix(lf == std::string_view::npos ? bytes.size() : lf + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos)
            continue;

        size_t tab1 = line.find('\t');
        size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string_view::npos || line.find('\t', tab2 + 1) != std::string_view::npos) {
            parsed.problems.push_back(
                {lineNumber,
                 "not a batch line (source, destination and profile separated by tabs)"});
            continue;
        }
        // A path cannot hold a NUL, and a CR inside a line is no line end:
        // a job with either could never be written back.
        if (line.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos) {
            parsed.problems.push_back({lineNumber, "a field holds a CR or NUL character"});
            continue;
        }
        BatchFileEntry e{std::string(line.substr(0, tab1)),
                         std::string(line.substr(tab1 + 1, tab2 - tab1 - 1)),
                         std::string(line.substr(tab2 + 1)), lineNumber};
        if (e.sourcePath.empty() || e.destPath.empty()) {
            parsed.problems.push_back({lineNumber, "the source or destination is empty"});
            continue;
        }
        std::string tooLong = pathLimitProblem(e.sourcePath);
        if (tooLong.empty())
            tooLong = pathLimitProblem(e.destPath);
        if (!tooLong.empty()) {
            parsed.problems.push_back({lineNumber, tooLong});
            continue;
        }
        parsed.entries.push_back(std::move(e));
    }
    return parsed;
}

ResolvedBatch resolveBatchFile(const ProfileStore& profiles, std::string_view bytes)
{
    ParsedBatchFile parsed = parseBatchFile(bytes);
    ResolvedBatch result;
    result.problems = std::move(parsed.problems);
    for (BatchFileEntry& entry : parsed.entries) {
        const int profile = profiles.findExact(entry.profileName);
        if (profile < 0)
            result.problems.push_back({entry.line, "the profile \"" + entry.profileName +
                                                       "\" is not in the profile list"});
        else
            result.jobs.push_back({std::move(entry), profile});
    }
    std::stable_sort(
        result.problems.begin(), result.problems.end(),
        [](const BatchFileProblem& a, const BatchFileProblem& b) { return a.line < b.line; });
    return result;
}

AppendedBatch appendBatchJobs(BatchList& list, const ProfileStore& profiles, std::string_view bytes)
{
    ResolvedBatch resolved = resolveBatchFile(profiles, bytes);
    list.resizeStorage(list.count() + int(resolved.jobs.size()));
    for (const ResolvedBatchEntry& accepted : resolved.jobs) {
        BatchJob& job = list.appendJob();
        job.sourcePath = accepted.entry.sourcePath;
        job.destPath = accepted.entry.destPath;
        job.profileIndex = accepted.profileIndex;
    }
    AppendedBatch result;
    result.problems = std::move(resolved.problems);
    result.added = int(resolved.jobs.size());
    return result;
}

std::string describeProblems(const std::string& path, const std::vector<BatchFileProblem>& problems)
{
    std::string text;
    for (size_t i = 0; i < problems.size() && i < kMaxReportedProblems; ++i) {
        if (!text.empty())
            text += '\n';
        text += path + ":" + std::to_string(problems[i].line) + ": " + problems[i].reason;
    }
    if (problems.size() > kMaxReportedProblems)
        text += "\n... and " + std::to_string(problems.size() - kMaxReportedProblems) +
                " more lines that were skipped";
    return text;
}

} // namespace moxel
