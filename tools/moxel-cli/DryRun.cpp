#include "tools/moxel-cli/DryRun.h"

#include "base/JsonWriter.h"
#include "jobs/BatchFile.h"
#include "jobs/ProfileStore.h"
#include "tools/moxel-cli/CliOptions.h"

#include <ostream>

namespace moxel::cli {

Plan planBatch(const std::string& path, const std::string& bytes, const ProfileStore& profiles)
{
    Plan plan;
    const ResolvedBatch resolved = resolveBatchFile(profiles, bytes);
    for (const ResolvedBatchEntry& job : resolved.jobs)
        plan.jobs.push_back({job.entry.sourcePath, job.entry.destPath, job.entry.profileName});
    for (const BatchFileProblem& problem : resolved.problems)
        plan.problems.push_back(path + ":" + std::to_string(problem.line) + ": " + problem.reason);
    return plan;
}

int printPlan(const Plan& plan, bool json, std::ostream& out, std::ostream& err)
{
    if (json) {
        JsonWriter writer(out);
        writer.beginObject();
        writer.key("jobs");
        writer.beginArray();
        for (const PlannedJob& job : plan.jobs) {
            writer.beginObject(true);
            writer.field("source", job.source);
            writer.field("destination", job.destination);
            writer.field("profile", job.profile);
            writer.endObject();
        }
        writer.endArray();
        writer.key("problems");
        writer.beginArray();
        for (const std::string& problem : plan.problems)
            writer.value(problem);
        writer.endArray();
        writer.endObject();
    } else {
        for (const PlannedJob& job : plan.jobs)
            out << job.source << '\t' << job.destination << '\t' << job.profile << '\n';
        for (const std::string& problem : plan.problems)
            err << "moxel-cli: " << problem << '\n';
    }
    out.flush();
    return plan.problems.empty() ? kExitAllComplete : kExitSomeFailed;
}

} // namespace moxel::cli
