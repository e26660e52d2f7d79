// moxel-cli --dry-run: the jobs a run would start (source, destination,
// profile) and the batch lines it could not use, printed as text (a tab
// between the fields) or as one JSON document, without running anything.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace moxel {
class ProfileStore;
} // namespace moxel

namespace moxel::cli {

struct PlannedJob {
    std::string source;
    std::string destination;
    std::string profile;
};

struct Plan {
    std::vector<PlannedJob> jobs;
    std::vector<std::string> problems; // "FILE:LINE: reason" or "SOURCE: reason"
};

// The plan of a batch file's bytes: its good lines bound to store profiles.
Plan planBatch(const std::string& path, const std::string& bytes, const ProfileStore& profiles);

// Prints the plan: jobs to out, problems to err (text), or both to out as
// {"jobs": [...], "problems": [...]}. The exit status: 1 when any problem.
int printPlan(const Plan& plan, bool json, std::ostream& out, std::ostream& err);

} // namespace moxel::cli
