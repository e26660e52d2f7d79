#include "jobs/JobStart.h"

#include "base/Prompt.h"
#include "encoder/KmfEncoder.h"
#include "encoder/OutputFile.h"
#include "jobs/DestinationCheck.h"
#include "jobs/JobWorker.h"
#include "profiles/KmfConfig.h"
#include "settings/FolderTree.h"
#include "settings/ProgramFolders.h"
#include "sources/SourceHolder.h"

#include <pthread.h>

#include <filesystem>
#include <system_error>

namespace moxel {

namespace {

bool isFolder(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

bool exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

// Frees what the job start made when no worker will run.
void giveUp(JobWorkerBlock& block)
{
    block.source.reset();
    block.encoder.reset();
    if (block.config && !programFolders().readOnly.load())
        block.config->release();
    block.config.reset();
}

// The output folder and an existing output file, with their questions.
// False when the job does not run (its status is then Skipped, or Error for
// a destination that is a folder).
bool checkDestination(BatchRunState& run, BatchJob& job, Prompt& prompt)
{
    // A stream destination is no file: only its copy file, if any, lies on disk.
    const std::string target = destinationFile(job.destPath);
    if (target.empty())
        return true;
    // A FIFO, a device or standard output is written as it is: nothing to
    // create and nothing that writing would replace.
    const OutputKind kind = outputKindOf(target);
    if (kind == OutputKind::Direct)
        return true;
    if (kind == OutputKind::Folder) {
        prompt.showMessage("Error", "The destination:   " + target +
                                        "\nis a folder.  The job cannot write over it.");
        job.setStatus(JobStatus::Error);
        return false;
    }

    const std::string folder = folderOf(target);
    if (!folder.empty() && !isFolder(folder)) {
        if (jobSetting("prefs_mkdir", 0) == 0 &&
            !prompt.askYesNo("Create new folder?", "The output path: " + folder +
                                                       "\ndoes not exist.  Create a new folder?")) {
            job.setStatus(JobStatus::Skipped);
            return false;
        }
        createFolderTree(folder);
    }

    // Writing over the file being read would destroy the source.
    if (sameFile(target, job.sourcePath)) {
        prompt.showMessage("Error", "The destination file:   " + target +
                                        "\nis the source file itself.  The job is skipped.");
        job.setStatus(JobStatus::Skipped);
        return false;
    }

    if (jobSetting("prefs_overwrite", 0) == 0 && exists(target) &&
        run.overwriteMode == OverwriteMode::Ask) {
        run.promptText = "The destination file:   " + target +
                         "\nalready exists.  Overwrite it?\n\nClick 'Cancel job' to abort "
                         "processing remaining files.";
        switch (prompt.askFileExists(run.promptText)) {
        case FileExistsAnswer::Yes:
            break;
        case FileExistsAnswer::OverwriteAll:
            run.overwriteMode = OverwriteMode::OverwriteAll;
            break;
        case FileExistsAnswer::CancelJob:
            run.overwriteMode = OverwriteMode::Cancelled;
            job.setStatus(JobStatus::Skipped);
            return false;
        case FileExistsAnswer::No:
            job.setStatus(JobStatus::Skipped);
            return false;
        }
    }
    return true;
}

void* workerEntry(void* argument)
{
    runConversion(static_cast<JobWorkerBlock*>(argument));
    return nullptr;
}

} // namespace

void startJob(BatchRunState& run, BatchJob& job, const std::string& profilePath, Prompt& prompt)
{
    startJob(run, job, profilePath, prompt, startWorkerThread);
}

void startJob(BatchRunState& run, BatchJob& job, const std::string& profilePath, Prompt& prompt,
              const WorkerStarter& startWorker)
{
    JobWorkerBlock& block = job.workerBlock;
    block.log.begin(block.diagnostics);
    block.messages.setTarget(&prompt);
    block.source = std::make_unique<SourceHolder>(&block.messages);
    block.encoder = std::make_unique<KmfEncoder>();
    block.config = std::make_unique<KmfConfig>(profilePath);
    if (!profilePath.empty())
        block.config->load();

    block.progressPtr = &job.progress;
    block.statusPtr = &job.status;
    block.abortRequested.store(0, std::memory_order_release);
    block.workerDone.store(0, std::memory_order_release);
    block.threadId = 0;
    block.sourceCopy = job.sourcePath;
    block.destCopy = job.destPath;
    block.prompt = &block.messages;
    block.framesProduced.store(0, std::memory_order_relaxed);
    block.durationMs.store(0, std::memory_order_relaxed);
    block.audioBytesPerSecond.store(0, std::memory_order_relaxed);
    block.streamStats.reset();
    job.progress.store(0, std::memory_order_relaxed);
    job.setStatus(JobStatus::Initializing);

    // The job's own prompt: a message about the destination becomes the
    // job's error text too.
    if (!checkDestination(run, job, block.messages)) {
        giveUp(block);
        block.log.end();
        block.workerDone.store(1, std::memory_order_release);
        return;
    }
    if (!startWorker(&block)) {
        // Without a worker nobody else would ever mark the job done, and it
        // could never be settled, re-queued or removed.
        job.setStatus(JobStatus::Error);
        giveUp(block);
        block.log.end();
        block.workerDone.store(1, std::memory_order_release);
    }
}

bool startWorkerThread(JobWorkerBlock* block)
{
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread{};
    const int result = pthread_create(&thread, &attributes, workerEntry, block);
    pthread_attr_destroy(&attributes);
    if (result != 0)
        return false;
    block->threadId = static_cast<uint64_t>(thread);
    return true;
}

} // namespace moxel
