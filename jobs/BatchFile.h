// Batch list files: one line per job, "source\tdest\tprofile name\r\n",
// also after the last line, no header. Save Batch and Export Selected write
// them; Load Batch and Import Batch read them back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace moxel {

class BatchList;
class ProfileStore;

struct BatchFileEntry {
    std::string sourcePath;
    std::string destPath;
    std::string profileName;
    int line = 0; // the line it was read from (1-based), 0 when not read
};

// A line of a batch file that could not be taken.
struct BatchFileProblem {
    int line = 0; // 1-based
    std::string reason;
};

// The file's bytes for the entries. Entries holding a tab, CR or LF in a
// field cannot be written and are left out; their positions (0-based) go to
// skipped when given.
std::string formatBatchFile(const std::vector<BatchFileEntry>& entries,
                            std::vector<size_t>* skipped = nullptr);

// The entries of the jobs (every job, or the selected ones) with their
// profiles' names.
std::vector<BatchFileEntry> batchEntries(const BatchList& list, const ProfileStore& profiles,
                                         bool selectedOnly);

struct ParsedBatchFile {
    std::vector<BatchFileEntry> entries;
    std::vector<BatchFileProblem> problems;
};

// Splits bytes into lines (CR LF or LF ends; blank lines are passed over)
// and each line at its two tabs. A line with another number of fields, an
// empty source or destination, or a path over the system's limits is a
// problem and is skipped.
ParsedBatchFile parseBatchFile(std::string_view bytes);

struct ResolvedBatchEntry {
    BatchFileEntry entry;
    int profileIndex = -1; // its profile's position in the store
};

struct ResolvedBatch {
    std::vector<ResolvedBatchEntry> jobs;
    std::vector<BatchFileProblem> problems; // in line order
};

// The good lines of the file's bytes bound to the profile of that name
// (exactly as written); lines whose profile is not in the store are
// problems too.
ResolvedBatch resolveBatchFile(const ProfileStore& profiles, std::string_view bytes);

struct AppendedBatch {
    int added = 0;
    std::vector<BatchFileProblem> problems; // in line order
};

// Appends a job for every line resolveBatchFile takes. The jobs are Idle and
// not selected.
AppendedBatch appendBatchJobs(BatchList& list, const ProfileStore& profiles,
                              std::string_view bytes);

// The message for problems, one "file:line: reason" line each (at most 20,
// then a count of the rest).
std::string describeProblems(const std::string& path,
                             const std::vector<BatchFileProblem>& problems);

} // namespace moxel
