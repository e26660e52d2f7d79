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
                 CliRunner& runner, Prompt& prompt, Console& console)
{
    BatchList list(profiles, prompt, runner.starter());
    const AppendedBatch appended = appendBatchJobs(list, profiles, bytes);
    if (!appended.problems.empty())
        console.message("moxel-cli: lines skipped:\n" + describeProblems(path, appended.problems));
    const int complete = runner.drive(
        list, [&list, &profiles](int i) { return profiles.displayName(list.job(i).profileIndex); });
    runner.finish();
    return appended.problems.empty() && complete == appended.added ? kExitAllComplete
                                                                   : kExitSomeFailed;
}

} // namespace moxel::cli
