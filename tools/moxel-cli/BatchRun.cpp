#include "tools/moxel-cli/BatchRun.h"

#include "base/JsonWriter.h"
#include "container/FourCC.h"
#include "jobs/BatchFile.h"
#include "jobs/BatchList.h"
#include "jobs/ProfileStore.h"
#include "jobs/StreamOutcome.h"
#include "profiles/KmfConfig.h"
#include "tools/moxel-cli/BatchLine.h"
#include "tools/moxel-cli/CliOptions.h"
#include "tools/moxel-cli/CliRunner.h"
#include "tools/moxel-cli/Console.h"
#include "tools/moxel-cli/RunReport.h"

#include <fstream>
#include <iterator>
#include <ostream>

namespace moxel::cli {

namespace {

void writeFormat(JsonWriter& json, const char* name, uint32_t code)
{
    json.key(name);
    if (code == 0)
        json.null();
    else
        json.value(fourCCToString(code));
}

} // namespace

int listProfiles(const ProfileStore& profiles, std::ostream& out, bool json)
{
    if (!json) {
        for (int i = 0; i < profiles.count(); ++i)
            out << i << '\t' << profiles.displayName(i) << '\n';
        return out ? kExitAllComplete : kExitSomeFailed;
    }
    JsonWriter writer(out);
    writer.beginArray();
    for (int i = 0; i < profiles.count(); ++i) {
        const EncodingProfile& profile = *profiles.at(i);
        KmfConfig config(profile.filePath);
        config.load(); // dropped without release(): nothing is written
        writer.beginObject(true);
        writer.field("position", i);
        writer.field("name", profile.friendlyName);
        writeFormat(writer, "video_format", config.videoFormat);
        writeFormat(writer, "audio_format", config.audioFormat);
        writer.key("output_size");
        if (profile.resizeEnabled)
            writer.value(std::to_string(profile.resizeWidth) + "x" +
                         std::to_string(profile.resizeHeight));
        else
            writer.null();
        writer.endObject();
    }
    writer.endArray();
    return out ? kExitAllComplete : kExitSomeFailed;
}

int readBatchFile(const std::string& path, long line, std::string& bytes, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    if (!in && !in.eof()) {
        error = "cannot read the batch file " + path;
        return kExitUsage;
    }
    if (line == 0)
        return -1;
    std::string kept;
    if (!keepBatchLine(bytes, line, kept, error))
        return kExitUsage;
    bytes = std::move(kept);
    if (bytes.find_first_not_of("\r\n") == std::string::npos) {
        error = path + ":" + std::to_string(line) + ": the line is blank";
        return kExitSomeFailed;
    }
    return -1;
}

int runBatchFile(const std::string& path, const std::string& bytes, const ProfileStore& profiles,
                 CliRunner& runner, Prompt& prompt, Console& console, RunReport* report)
{

    int total = 0;
    int started = 0;
    // The runner starts the job and waits for its worker, so the scheduler
    // moves on to the next queued job within the same tick.
    JobStarter starter = [&](BatchRunState& run, BatchJob& job, const std::string& profilePath,
                             Prompt&) {
        if (runner.interrupted()) {
            job.setStatus(JobStatus::Skipped);
            // The scheduler puts the rest back to idle.
            run.overwriteMode = OverwriteMode::Cancelled;
            return;
        }
        runner.runState().overwriteMode = run.overwriteMode;
        runner.runJob(job, profilePath, ++started, total);
        run.overwriteMode = runner.runState().overwriteMode;
        run.promptText = runner.runState().promptText;
    };
    BatchList list(profiles, prompt, starter);
    const AppendedBatch appended = appendBatchJobs(list, profiles, bytes);
    if (!appended.problems.empty())
        console.message("moxel-cli: lines skipped:\n" + describeProblems(path, appended.problems));
    total = appended.added;

    list.encodeJobs(true);
    for (int before = -1; before != started && !list.isFinished();) {
        before = started;
        list.scheduleNext();
    }
    runner.finish();

    int complete = 0;
    for (int i = 0; i < list.count(); ++i) {
        const BatchJob& job = list.job(i);
        complete += job.statusRow().succeeded && !streamReachedNothing(job.workerBlock) ? 1 : 0;
        if (report)
            report->add(job, profiles.displayName(job.profileIndex));
    }
    if (started < total)
        console.message("moxel-cli: " + std::to_string(total - started) + " job(s) not started");
    complete += runner.alreadyDone();
    return appended.problems.empty() && complete == total ? kExitAllComplete : kExitSomeFailed;
}

} // namespace moxel::cli
