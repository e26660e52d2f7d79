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
#include "tools/moxel-cli/ProfileChoice.h"
#include "tools/moxel-cli/RunReport.h"
#include "tools/moxel-cli/StandardOutput.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
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

} // namespace

int main(int argc, char** argv)
{
    using namespace moxel;
    using namespace moxel::cli;

    CliOptions options;
    const int parsed = parseCliOptions(argc, argv, options, std::cout, std::cerr);
    if (parsed >= 0)
        return parsed;
    setLibraryLogLevel();

    std::string error;
    if (!initialiseSettings(&error)) {
        std::cerr << "moxel-cli: " << error << "\n";
        return kExitSomeFailed;
    }
    if (options.listProfiles) {
        ProfileStore store;
        loadProfiles(store);
        const int status = listProfiles(store, std::cout);
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
    CliPrompt prompt(console, options.overwrite, options.mkdir);
    CliRunner runner(console, prompt, progress, g_interrupted);
    RunReport report;
    RunReport* reportTo = options.report.empty() ? nullptr : &report;
    runner.setReport(reportTo);
    int status = 0;
    if (!options.batch.empty()) {
        ProfileStore store;
        store.loadAll(prompt);
        status = runBatchFile(options.batch, store, runner, prompt, console, reportTo);
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
