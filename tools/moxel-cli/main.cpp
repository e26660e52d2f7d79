// moxel-cli: the headless twin of the desktop program; see --help.
#include "encoder/CodecPlugins.h"
#include "jobs/JobPaths.h"
#include "jobs/JobWorker.h"
#include "jobs/ProfileStore.h"
#include "pipeline/VideoTables.h"
#include "settings/ProgramFolders.h"
#include "sources/LibraryLog.h"
#include "tools/moxel-cli/BatchRun.h"
#include "tools/moxel-cli/CliOptions.h"
#include "tools/moxel-cli/CliRunner.h"
#include "tools/moxel-cli/DryRun.h"
#include "tools/moxel-cli/ProfileChoice.h"
#include "tools/moxel-cli/RunReport.h"
#include "tools/moxel-cli/StandardOutput.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int)
{
    g_interrupted.store(true);
}

// The first Ctrl-C aborts the running job; a second one ends the program.
void catchInterrupt()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader of --progress - that goes away must not end the program in
    // the middle of a file; the writes then just fail.
    std::signal(SIGPIPE, SIG_IGN);
}

// The program's profile store, its problems told on the console.
void loadProfiles(moxel::ProfileStore& store)
{
    moxel::cli::Console console;
    moxel::cli::CliPrompt prompt(console, false, false);
    store.loadAll(prompt);
}

// A folder without its owner's write permission counts as read-only also
// for a user the system would let write (root).
bool storeIsWritable(const std::string& folder)
{
    struct stat info {};
    return access(folder.c_str(), W_OK) == 0 && stat(folder.c_str(), &info) == 0 &&
           (info.st_mode & S_IWUSR) != 0;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace moxel;
    using namespace moxel::cli;

    CliOptions options;
    const int parsed = parseCliOptions(argc, argv, options, std::cout, std::cerr);
    if (parsed >= 0)
        return parsed;
    setLibraryLogLevel(options.verbosity);

    // A dry run writes nothing either.
    if (options.readOnlyProfiles || options.dryRun)
        programFolders().readOnly = true;
    std::string error;
    // A batch file that cannot be used ends the run before anything is made.
    std::string batchBytes;
    if (!options.batch.empty()) {
        const int status = readBatchFile(options.batch, options.line, batchBytes, error);
        if (status >= 0) {
            std::cerr << "moxel-cli: " << error << "\n";
            return status;
        }
    }
    if (!initialiseSettings(&error)) {
        std::cerr << "moxel-cli: " << error << "\n";
        return kExitSomeFailed;
    }
    // Where the profile store cannot be written, writes would only fail.
    if (!storeIsWritable(programFolders().profilesFolder))
        programFolders().setReadOnly();
    if (options.listProfiles) {
        ProfileStore store;
        loadProfiles(store);
        const int status = listProfiles(store, std::cout, options.json);
        releaseSettings();
        return status;
    }

    std::string profile; // a batch file names the profiles of its jobs
    if (options.batch.empty()) {
        profile = chooseProfile(options.profile, programFolders().programFolder, error);
        if (profile.empty() && !options.profile.empty()) {
            ProfileStore store;
            loadProfiles(store);
            profile = storeProfilePath(options.profile, store);
        }
        if (profile.empty()) {
            std::cerr << "moxel-cli: " << error << "\n";
            releaseSettings();
            return kExitUsage;
        }
    }

    if (options.dryRun) {
        Plan plan;
        if (!options.batch.empty()) {
            ProfileStore store;
            loadProfiles(store);
            plan = planBatch(options.batch, batchBytes, store);
        } else {
            for (const std::string& source : options.sources)
                plan.jobs.push_back(
                    {source, options.output.empty() ? defaultDestination(source) : options.output,
                     profile});
        }
        const int status = printPlan(plan, options.json, std::cout, std::cerr);
        releaseSettings();
        return status;
    }

    ProgressWriter progress;
    if (options.progress == "-") {
        // Standard output carries the blocks alone: the decoders' diagnostic
        // lines, which go to standard output, are sent to standard error.
        const int blocks = takeStandardOutput();
        std::FILE* stream = blocks >= 0 ? fdopen(blocks, "w") : nullptr;
        if (stream)
            progress.adopt(stream);
        else
            progress.open("-");
    } else if (!options.progress.empty() && !progress.open(options.progress)) {
        std::cerr << "moxel-cli: cannot write the progress file " << options.progress << "\n";
        releaseSettings();
        return kExitUsage;
    }

    if (namesStandardOutput(options.output)) {
        // The KMF bytes have standard output to themselves; the engine writes
        // the descriptor as it is (no header, no temporary file).
        const int data = takeStandardOutput();
        if (data < 0) {
            std::cerr << "moxel-cli: cannot write to standard output\n";
            releaseSettings();
            return kExitUsage;
        }
        options.output = "/dev/fd/" + std::to_string(data);
    }

    initVideoTables();
    setOpenFailurePauseMs(0); // nobody has to read a box before the next job
    catchInterrupt();

    std::vector<CliJob> jobs;
    for (const std::string& source : options.sources)
        jobs.push_back({source,
                        options.output.empty() ? defaultDestination(source) : options.output,
                        profile});

    Console console;
    // With --skip-existing a destination that is not complete is converted again.
    CliPrompt prompt(console, options.overwrite || options.skipExisting, options.mkdir);
    CliRunner runner(console, prompt, progress, g_interrupted);
    runner.setSkipExisting(options.skipExisting);
    runner.setJobsAtOnce(options.jobs);
    RunReport report;
    RunReport* reportTo = options.report.empty() ? nullptr : &report;
    runner.setReport(reportTo);
    int status = 0;
    if (!options.batch.empty()) {
        ProfileStore store;
        store.loadAll(prompt);
        status = runBatchFile(options.batch, batchBytes, store, runner, prompt, console);
    } else {
        status = runner.run(jobs);
    }
    if (reportTo && !report.write(options.report)) {
        console.message("moxel-cli: cannot write the report file " + options.report);
        status = std::max(status, int(kExitSomeFailed));
    }

    unloadCodecPlugins();
    releaseSettings();
    return status;
}
