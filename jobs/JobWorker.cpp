#include "jobs/JobWorker.h"

#include "base/DiagnosticSink.h"
#include "base/Prompt.h"
#include "base/ThreadPriority.h"
#include "container/FourCC.h"
#include "encoder/KmfEncoder.h"
#include "jobs/JobCounters.h"
#include "profiles/KmfConfig.h"
#include "settings/ProgramFolders.h"
#include "sources/SourceHolder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace moxel {

namespace {

constexpr int kAudioBlockBytes = 16384;
constexpr int kPausedTurnMs = 500;
constexpr int kPausedStepMs = 20;

std::atomic<int> g_openFailurePauseMs{2500};

JobStatus statusOf(const JobWorkerBlock* block)
{
    return JobStatus(block->statusPtr->load(std::memory_order_acquire));
}

void setStatus(JobWorkerBlock* block, JobStatus status)
{
    block->statusPtr->store(uint32_t(status), std::memory_order_release);
}

bool isRunning(JobStatus status)
{
    return statusRow(status).converting;
}

void show(Prompt* prompt, const std::string& title, const std::string& text)
{
    if (prompt)
        prompt->showMessage(title, text);
    else
        emitDiagnostic(kMessageDiagnostics, DiagnosticLevel::Error, title + ": " + text);
}

// Sits out one paused turn (500 ms) in short steps, ending early once the
// user resumes or aborts, so that neither has to wait the whole turn.
void waitWhilePaused(const JobWorkerBlock* block)
{
    for (int waited = 0; waited < kPausedTurnMs; waited += kPausedStepMs) {
        if (statusOf(block) != JobStatus::Paused ||
            block->abortRequested.load(std::memory_order_acquire) != 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPausedStepMs));
    }
}

// Opens the encoder from the job's codec and container options. False,
// after the message and the pause, when the encoder refused.
bool openEncoder(JobWorkerBlock* block)
{
    SourceHolder& source = *block->source;
    KmfEncoder& encoder = *block->encoder;
    const KmfConfig& config = *block->config;
    const char* configFile = config.filePath().empty() ? nullptr : config.filePath().c_str();

    encoder.setAudioSendAheadMs(config.audioSendAheadMs);
    encoder.setMaxSync(config.maxSyncInterval);
    encoder.setMinSync(config.minSyncInterval);
    if (config.writeHeader != 0) {
        if (!config.meta.empty())
            encoder.setHdrMetaData(reinterpret_cast<const uint8_t*>(config.meta.data()),
                                   int(config.meta.size()));
        encoder.setHdrTocSize(config.tocEntries);
        encoder.setWriteHeader(true);
    }
    if (source.hasVideo())
        encoder.setVideo(config.videoFormat, source.outWidth(), source.outHeight(),
                         source.frameRate(), kFourCCRgba, configFile);
    if (source.hasAudio())
        encoder.setAudio(config.audioFormat, source.outSampleRate(), source.outChannels(), 16,
                         kFourCCPcm, configFile);
    encoder.openOutput(block->destCopy.c_str());
    if (!encoder.errorText())
        return true;
    show(block->prompt, "ERROR", encoder.errorText());
    std::this_thread::sleep_for(std::chrono::milliseconds(g_openFailurePauseMs.load()));
    return false;
}

// One turn of the conversion loop while encoding: audio until the encoder
// has enough for the next frame, then one picture (or none) into a frame.
void convertOneFrame(JobWorkerBlock* block, std::vector<uint8_t>& audio)
{
    SourceHolder& source = *block->source;
    KmfEncoder& encoder = *block->encoder;
    const bool video = source.hasVideo() != 0;

    if (source.hasAudio()) {
        while (encoder.audioNeeded() != AudioNeed::Enough) {
            int length = 0;
            if (source.getAudio(audio.data(), kAudioBlockBytes, &length) != 1 || length <= 0)
                break;
            encoder.addAudioData(audio.data(), length);
            if (!video)
                block->progressPtr->fetch_sub(length / 9, std::memory_order_relaxed);
        }
    }

    const uint8_t* picture = nullptr;
    if (video) {
        if (source.getVideoFrame(&picture) == 0 || !picture) {
            setStatus(block, JobStatus::Complete); // queued audio stays unsent
            return;
        }
        if (source.frameRate() > 0)
            block->progressPtr->fetch_add(int32_t(20000.0 / source.frameRate()),
                                          std::memory_order_relaxed);
    } else if (encoder.audioNeeded() == AudioNeed::MoreWantedEmpty) {
        setStatus(block, JobStatus::Complete); // the sound has run out: one last frame
    }

    encoder.addVideoFrame(picture);
    block->framesProduced.fetch_add(1, std::memory_order_relaxed);
    if (encoder.errorText()) {
        show(block->prompt, "encoding error:", encoder.errorText());
        setStatus(block, JobStatus::Error);
    }
}

void conversionLoop(JobWorkerBlock* block, int& priority)
{
    std::vector<uint8_t> audio(kAudioBlockBytes);
    while (isRunning(statusOf(block))) {
        if (statusOf(block) == JobStatus::Paused) {
            waitWhilePaused(block);
        } else {
            convertOneFrame(block, audio);
            const int wanted = jobSetting("prefs_priority", -1);
            if (wanted != priority) {
                applyThreadPriority(wanted);
                priority = wanted;
            }
        }
        // An error or the end found in this turn is the truer outcome.
        if (block->abortRequested.load(std::memory_order_acquire) != 0 &&
            isRunning(statusOf(block)))
            setStatus(block, JobStatus::Aborted);
    }
}

} // namespace

int jobSetting(const char* key, int defaultValue)
{
    const ProgramFolders& folders = programFolders();
    return folders.settings ? folders.settings->getInt(key, defaultValue) : defaultValue;
}

void setOpenFailurePauseMs(int ms)
{
    g_openFailurePauseMs.store(std::max(ms, 0));
}

int runConversion(JobWorkerBlock* block)
{
    const std::shared_ptr<DiagnosticSink> lines = block->log.sink();
    ScopedDiagnosticSink jobDiagnostics(lines ? lines : block->diagnostics);
    int priority = jobSetting("prefs_priority", -1);
    applyThreadPriority(priority);

    SourceHolder& source = *block->source;
    const std::string profilePath = block->config->filePath();
    // The job start leaves the holder empty, so the kind follows the name; a
    // source put in the holder beforehand (other kinds, tests) is opened as it is.
    const int kind = source.source() ? -1 : int(SourceKind::ByName);
    const bool opened = source.open(block->sourceCopy, profilePath, kind) != 0;
    if (!opened)
        setStatus(block, JobStatus::Error); // the source has said why, where it can
    block->audioBytesPerSecond.store(source.outSampleRate() * source.outChannels() * 2,
                                     std::memory_order_relaxed);
    if (opened && source.source())
        block->durationMs.store(
            int32_t(std::clamp(source.source()->durationSeconds * 1000.0, 0.0, 2e9)),
            std::memory_order_relaxed);

    if (statusOf(block) != JobStatus::Error && !openEncoder(block))
        setStatus(block, JobStatus::Error);

    // Writes the kmfconfig section back: keys missing from the file appear
    // with their defaults.
    block->config->release();
    block->config.reset();

    if (statusOf(block) != JobStatus::Error) {
        setStatus(block, JobStatus::Encoding);
        try {
            conversionLoop(block, priority);
        } catch (...) {
            show(block->prompt, "ERROR",
                 "unknown exception while converting file:\n" + block->sourceCopy +
                     "\n\nThe input file might be corrupt. (?)");
            setStatus(block, JobStatus::Error);
        }
    }

    // The counters go into the job's log while source and encoder still hold them.
    block->log.setCounters(
        readJobCounters(source.source(), *block->encoder,
                        block->audioBytesPerSecond.load(std::memory_order_relaxed)));
    if (opened)
        source.close();
    block->source.reset();
    // Finishing the file (final header, close) can fail too; a job whose
    // file is unfinished is not complete.
    if (!block->encoder->close() && statusOf(block) == JobStatus::Complete) {
        show(block->prompt, "encoding error:",
             block->encoder->errorText() ? block->encoder->errorText() : "close failed");
        setStatus(block, JobStatus::Error);
    }
    block->encoder.reset();
    block->log.end();
    block->workerDone.store(1, std::memory_order_release);
    return 0;
}

} // namespace moxel
