#include "SyncJobs.h"

#include "SyncReadBack.h"

#include "cli/CliProcess.h"
#include "container/FourCC.h"
#include "golden/GoldenJobs.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>

namespace moxel::test {
namespace {

// moxel-cli gets this long to convert a 9 s source (it takes well under a
// second in a release build; the sanitizer builds allow more);
// MOXEL_SYNC_JOB_SECONDS sets another limit.
#ifdef MOXEL_SYNC_DEFAULT_JOB_SECONDS
constexpr int kDefaultJobSeconds = MOXEL_SYNC_DEFAULT_JOB_SECONDS;
#else
constexpr int kDefaultJobSeconds = 10;
#endif
constexpr int kTimeoutExitStatus = 124; // the timeout program's, when the limit was reached
// A job that never ends would fill the disk first: its output stops there.
constexpr rlim_t kMaxOutputBytes = 64u << 20;
// The silence a compressing audio coder puts before the sound (1024 samples
// for AAC, 1105 for MP3: 23 and 25 ms at 44.1 kHz). Players hear it, so it
// stays in the beep times; the sound may be this much longer.
constexpr double kCoderPrimingSeconds = 0.03;
// Offsets are measured to about a millisecond (the resampler picks whole samples).
constexpr double kMeasureMs = 1.0;
// The table's middle event: 4 s, after the hole in the sound and before the
// rate change of the sources that have them.
constexpr size_t kMiddleEvent = 1;

std::string fourCCNumber(const std::string& code)
{
    return std::to_string(makeFourCC(code[0], code[1], code[2], code[3]));
}

std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string tail(const std::string& text)
{
    return text.size() > 400 ? "..." + text.substr(text.size() - 400) : text;
}

int jobSeconds()
{
    const char* text = std::getenv("MOXEL_SYNC_JOB_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : kDefaultJobSeconds;
}

// moxel-cli under the timeout program, its settings kept in folder. The
// file size limit is set on this process, which the child inherits.
CliResult convert(const std::string& folder, const std::string& profile,
                  const std::string& sourcePath, const std::string& output)
{
    setenv("XDG_CONFIG_HOME", (std::filesystem::path(folder) / "config").c_str(), 1);
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur > kMaxOutputBytes) {
        limit.rlim_cur = std::min(kMaxOutputBytes, limit.rlim_max);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    return CliProcess(folder,
                      {"-k", "5", std::to_string(jobSeconds()), MOXEL_CLI_PATH, "--profile",
                       profile, "--overwrite", "-o", output, sourcePath},
                      MOXEL_TIMEOUT_PATH)
        .finish();
}

void checkFrames(SyncRow& row, const SyncSource& source, const SyncCoders& coders)
{
    const int atLeast = row.framesExpected - 1;
    // One frame more than the time needs, for the sound that runs into the
    // next frame; a compressing coder's sound, flushed at the end, may take
    // one more.
    const int extra = coders.audio == "PCM " ? 1 : 2;
    const double whole = kSyncClipSeconds - std::min(source.picturesFrom, source.soundFrom);
    const int atMost = source.hasPictures() ? int(std::lround(whole * row.fps)) + extra
                                            : row.framesExpected + extra;
    if (row.framesWritten < atLeast || row.framesWritten > atMost)
        row.faults.push_back("frames: " + std::to_string(row.framesWritten) + " written, " +
                             std::to_string(atLeast) + " to " + std::to_string(atMost) +
                             " expected");
}

void checkLengths(SyncRow& row, const SyncSource& source, const SyncCoders& coders)
{
    const double slack =
        1.0 / row.fps + (coders.audio == "PCM " ? 0.0 : kCoderPrimingSeconds) + kMeasureMs / 1000;
    const double want = source.hasPictures() ? row.pictureSeconds : source.soundSeconds();
    if (std::fabs(row.soundSeconds - want) > slack)
        row.faults.push_back(format("sound lasts %.3f s", row.soundSeconds) +
                             format(", %.3f s expected", want) + format(" (within %.3f s)", slack));
}

void checkOffsets(SyncRow& row, const SyncSource& source)
{
    const std::vector<double> events = syncEventTimes();
    const bool flashesFound = !source.hasPictures() || row.flashes.size() == events.size();
    const bool beepsFound = row.beeps.size() == events.size();
    if (!flashesFound)
        row.faults.push_back(std::to_string(row.flashes.size()) + " flashes, " +
                             std::to_string(events.size()) + " expected");
    if (!beepsFound)
        row.faults.push_back(std::to_string(row.beeps.size()) + " beeps, " +
                             std::to_string(events.size()) + " expected");
    if (!flashesFound || !beepsFound)
        return;
    const double frameMs = 1000.0 / row.fps;
    for (size_t k = 0; k < events.size(); ++k) {
        const double shown = source.hasPictures() ? row.flashes[k] : events[k] - source.soundFrom;
        const double offset = (row.beeps[k] - shown) * 1000.0;
        row.offsetsMs.push_back(offset);
        if (std::fabs(offset) >= frameMs - kMeasureMs) // a whole frame off is a fault
            row.faults.push_back(format("the beep at %.0f s", events[k]) +
                                 format(" is %+.0f ms off", offset) +
                                 format(" (one frame is %.0f ms)", frameMs));
    }
}

} // namespace

const std::vector<SyncCoders>& syncCoderSets()
{
    static const std::vector<SyncCoders> sets = {
        {"rgb_pcm", "RGB3", "PCM "},
        {"h264_aac", "H264", "AAC "},
        {"mpeg4_mp3", "XVID", "MP3 "},
        {"vp8_aac", "VP80", "AAC ", false},
    };
    return sets;
}

SyncRow runSyncJob(const SyncSource& source, const SyncCoders& coders, const std::string& folder)
{
    SyncRow row;
    row.source = source.name;
    row.coders = coders.name;
    std::string error;
    const std::string sourcePath = writeSyncClip(source, folder, &error);
    if (sourcePath.empty()) {
        row.faults.push_back(error);
        return row;
    }
    const GoldenJob job{
        source.name + "_" + coders.name,
        source.file,
        {{"vidfmt", fourCCNumber(coders.video)}, {"audfmt", fourCCNumber(coders.audio)}}};
    const std::string profile = (std::filesystem::path(folder) / "sync.pf").string();
    writeFileText(profile, goldenProfileText(job));
    const std::string output = (std::filesystem::path(folder) / "out.kmf").string();

    const CliResult run = convert(folder, profile, sourcePath, output);
    row.exitStatus = run.exitStatus;
    row.timedOut = run.exitStatus == kTimeoutExitStatus;
    if (row.timedOut)
        row.faults.push_back("moxel-cli did not end within " + std::to_string(jobSeconds()) + " s");
    else if (run.exitStatus > 128) // the timeout program passes on the signal that ended it
        row.faults.push_back(
            "moxel-cli ended by signal " + std::to_string(run.exitStatus - 128) +
            (run.exitStatus - 128 == SIGXFSZ ? " (output past its size limit)" : ""));
    else if (run.exitStatus != 0)
        row.faults.push_back("moxel-cli exit status " + std::to_string(run.exitStatus) + ":\n" +
                             tail(run.err));

    const SyncReadBack back = readBackKmf(output);
    if (!back.error.empty()) {
        row.faults.push_back("reading the output: " + back.error);
        return row;
    }
    row.framesWritten = back.frames;
    row.fps = back.fps;
    row.pictureSeconds = back.pictureSeconds();
    row.soundSeconds = back.soundSeconds();
    row.flashes = flashTimes(back.brightness, back.fps);
    row.beeps = beepTimes(back.sound, back.sampleRate);
    if (row.fps <= 0.0) {
        row.faults.push_back("the output has no frame rate");
        return row;
    }
    const double covered = source.hasPictures() ? source.pictureSeconds() : source.soundSeconds();
    row.framesExpected = source.hasPictures() ? int(std::lround(covered * row.fps))
                                              : int(std::ceil(covered * row.fps - 1e-9));
    checkFrames(row, source, coders);
    checkLengths(row, source, coders);
    checkOffsets(row, source);
    return row;
}

std::string syncTableHeading()
{
    return "source            coders     frames exp/written   fps  pictures s  sound s"
           "  beep-flash ms start/middle/end  result\n"
           "                                                                   "
           "  (sound files: beep-event)\n";
}

std::string syncTableLine(const SyncRow& row)
{
    std::string offsets = "n/a";
    if (!row.offsetsMs.empty()) {
        const size_t n = row.offsetsMs.size();
        offsets = format("%+.0f", row.offsetsMs[0]) + "/" +
                  format("%+.0f", row.offsetsMs[kMiddleEvent]) + "/" +
                  format("%+.0f", row.offsetsMs[n - 1]);
    } else if (!row.flashes.empty() || !row.beeps.empty()) {
        offsets = std::to_string(row.flashes.size()) + " flashes, " +
                  std::to_string(row.beeps.size()) + " beeps";
    }
    char line[256];
    std::snprintf(line, sizeof line, "%-17s %-10s %6d/%-6d %11.3f %10.3f %8.3f  %-31s %s\n",
                  row.source.c_str(), row.coders.c_str(), row.framesExpected, row.framesWritten,
                  row.fps, row.pictureSeconds, row.soundSeconds, offsets.c_str(),
                  row.timedOut   ? "TIMEOUT"
                  : row.passed() ? "ok"
                                 : "FAIL");
    return line;
}

bool syncVariantSelected(const SyncSource& source, const SyncCoders& coders)
{
    const char* variants = std::getenv("MOXEL_SYNC_VARIANTS");
    if (variants == nullptr || std::string(variants) != "few")
        return true;
    if (coders.name == "rgb_pcm")
        return true;
    return (coders.name == "h264_aac" && source.name == "mp4") ||
           (coders.name == "mpeg4_mp3" && source.name == "mp3");
}

} // namespace moxel::test
