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
#include <string>
#include <thread>
#include <vector>

namespace moxel {

namespace {

constexpr int kAudioBlockBytes = 16384;
constexpr int kPausedTurnMs = 500;
constexpr int kPausedStepMs = 20;
// Turns in a row without a picture and without sound taken by the encoder
// after which a job counts as stalled. A real source never comes near it: a
// source with video gives a picture every turn, and sound alone is taken
// every turn until it ends.
constexpr int kMaxIdleTurns = 10000;

// What the conversion loop carries from one turn to the next.
struct LoopState {
    bool soundEnded = false; // getAudio has reported the end of the sound
    int idleTurns = 0;
};

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

bool reportEncoderError(JobWorkerBlock* block)
{
    const char* error = block->encoder->errorText();
    if (!error)
        return false;
    show(block->prompt, "encoding error:", error);
    setStatus(block, JobStatus::Error);
    return true;
}

// The source has ended: the sound up to the last frame's time and what the
// audio coder kept back go into the file, in frames without a picture.
void finishSound(JobWorkerBlock* block)
{
    KmfEncoder& encoder = *block->encoder;
    const uint32_t before = encoder.framesWritten();
    encoder.finishAudio();
    block->framesProduced.fetch_add(encoder.framesWritten() - before, std::memory_order_relaxed);
    reportEncoderError(block);
}

// One turn of the conversion loop while encoding: audio until the encoder
// has enough for the next frame, then one picture (or none) into a frame.
void convertOneFrame(JobWorkerBlock* block, std::vector<uint8_t>& audio, LoopState& state)
{
    SourceHolder& source = *block->source;
    KmfEncoder& encoder = *block->encoder;
    const bool video = source.hasVideo() != 0;
    const uint64_t consumedBefore = encoder.audioBytesConsumed();

    if (source.hasAudio() && !state.soundEnded) {
        while (encoder.audioNeeded() != AudioNeed::Enough) {
            int length = 0;
            if (source.getAudio(audio.data(), kAudioBlockBytes, &length) != 1) {
                // The sources return 0 only at the end of their sound.
                state.soundEnded = true;
                encoder.endAudio();
                break;
            }
            if (length <= 0)
                break;
            encoder.addAudioData(audio.data(), length);
            if (!video)
                block->progressPtr->fetch_sub(length / 9, std::memory_order_relaxed);
        }
    }

    const uint8_t* picture = nullptr;
    bool last = false;
    if (video) {
        if (source.getVideoFrame(&picture) == 0 || !picture) {
            setStatus(block, JobStatus::Complete);
            finishSound(block);
            return;
        }
        if (source.frameRate() > 0)
            block->progressPtr->fetch_add(int32_t(20000.0 / source.frameRate()),
                                          std::memory_order_relaxed);
    } else if (!source.hasAudio() ||
               (state.soundEnded && encoder.audioNeeded() == AudioNeed::MoreWantedEmpty &&
                !encoder.audioFlushPending())) {
        // The sound has run out and the encoder holds none of it: one last frame.
        setStatus(block, JobStatus::Complete);
        last = true;
    }

    encoder.addVideoFrame(picture);
    block->framesProduced.fetch_add(1, std::memory_order_relaxed);
    if (reportEncoderError(block))
        return;
    if (last) {
        finishSound(block);
        return;
    }
    // A job that takes neither pictures nor sound would write frames forever.
    state.idleTurns =
        picture || encoder.audioBytesConsumed() != consumedBefore ? 0 : state.idleTurns + 1;
    if (state.idleTurns >= kMaxIdleTurns) {
        show(block->prompt, "encoding error:",
             "conversion stalled: no picture and no sound for " + std::to_string(kMaxIdleTurns) +
                 " frames in a row");
        setStatus(block, JobStatus::Error);
    }
}

void conversionLoop(JobWorkerBlock* block, int& priority)
{
    std::vector<uint8_t> audio(kAudioBlockBytes);
    LoopState state;
    while (isRunning(statusOf(block))) {
        if (statusOf(block) == JobStatus::Paused) {
            waitWhilePaused(block);
        } else {
            convertOneFrame(block, audio, state);
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
    if (opened && source.source()) {
        const MediaSource& facts = *source.source();
        block->durationMs.store(int32_t(std::clamp(facts.durationSeconds * 1000.0, 0.0, 2e9)),
                                std::memory_order_relaxed);
        block->sourceWidth.store(facts.hasVideo ? facts.inWidth : 0, std::memory_order_relaxed);
        block->sourceHeight.store(facts.hasVideo ? facts.inHeight : 0, std::memory_order_relaxed);
        block->sourceFrameRate.store(facts.hasVideo ? facts.inFrameRate : 0.0,
                                     std::memory_order_relaxed);
    }

    if (statusOf(block) != JobStatus::Error && !openEncoder(block))
        setStatus(block, JobStatus::Error);

    // Writes the kmfconfig section back: keys missing from the file appear
    // with their defaults; a read-only profile store keeps its files as they are.
    if (!programFolders().readOnly.load())
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

    // The source ends here (it counts its damage as it closes) but is freed
    // only once the counters are read, after the encoder's close.
    if (opened && source.source())
        source.source()->close();
    // A complete job's file, and the partial file an abort asks for, take the
    // destination's place; a failed job's is removed and leaves an existing
    // destination as it was. Finishing the file (final header, sync, rename)
    // can fail too: a job whose file did not arrive has not succeeded.
    const JobStatus end = statusOf(block);
    const bool keep = end == JobStatus::Complete || end == JobStatus::Aborted;
    if (!block->encoder->close(keep ? OutputEnd::Keep : OutputEnd::Discard) && keep) {
        show(block->prompt, "encoding error:",
             block->encoder->errorText() ? block->encoder->errorText() : "close failed");
        setStatus(block, JobStatus::Error);
    }
    block->log.setCounters(
        readJobCounters(source.source(), *block->encoder,
                        block->audioBytesPerSecond.load(std::memory_order_relaxed)));
    if (opened)
        source.close();
    block->source.reset();
    block->streamStats = block->encoder->streamStats();
    block->encoder.reset();
    block->log.end();
    block->workerDone.store(1, std::memory_order_release);
    return 0;
}

} // namespace moxel
