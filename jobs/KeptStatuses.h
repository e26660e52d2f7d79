// How the jobs of the kept queue ended, kept beside the queue so that they
// come back as they were after a restart: complete, error (with its error
// text), aborted and skipped, with the elapsed time their Status shows. Jobs
// that are idle, queued or under way keep nothing and come back not done; a
// job is under way until its worker is done (a complete job's output is in
// its place by then).
//
// The queue itself stays a plain batch file, which every version of the
// program reads; the statuses live in a file of their own that programs
// without this know nothing of, and each line names its job's source and
// destination, so a line that no longer fits the queue is passed over.
//
//   moxel kept statuses 1
//   complete<TAB>progress<TAB>audio bytes/s<TAB>source<TAB>destination<TAB>error text
//
// One line per kept job, in list order, ending in CR LF; the error text has
// its backslashes, tabs and line ends escaped (\\, \t, \r, \n).
#pragma once

#include <string>
#include <string_view>

namespace moxel {

class BatchList;

// The file's bytes for the list's jobs.
std::string formatKeptStatuses(const BatchList& list);

// Puts the statuses back on the jobs from index first onwards (the jobs just
// read from the queue), matching lines to jobs in order by source and
// destination. Returns how many jobs got their status back.
int restoreKeptStatuses(BatchList& list, int first, std::string_view bytes);

} // namespace moxel
