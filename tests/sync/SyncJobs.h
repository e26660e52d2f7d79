// One sync job: a flash/beep source (SyncSources.h) converted by moxel-cli
// with a set of coders, read back (SyncReadBack.h) and held against what a
// converter that keeps sound and pictures together writes:
//   - the job ends by itself (under a time limit) and completes;
//   - the pictures are all there: at least the source's picture time at the
//     output rate, at most the whole source's time (a converter may fill a
//     late picture start) and a frame or two for the last sound;
//   - the sound lasts as long as the pictures (a sound file: as long as the
//     source's sound), within one output frame plus a compressing audio
//     coder's priming;
//   - every flash and every beep is there, and each beep starts less than
//     one output frame from its flash (a sound file: from its time in the
//     source). A compressing coder's priming counts, as players hear it.
// The row keeps the figures for the table that moxel-sync-table prints.
#pragma once

#include "SyncSources.h"

#include <string>
#include <utility>
#include <vector>

namespace moxel::test {

struct SyncCoders {
    std::string name;          // letters, digits and underscores: also part of a test name
    std::string video;         // FourCC of the profile's vidfmt
    std::string audio;         // of its audfmt
    bool forSoundFiles = true; // false: its sound coder is already covered for sound files
};

// Uncompressed pictures and PCM, then the av plug-in's coders.
const std::vector<SyncCoders>& syncCoderSets();

struct SyncRow {
    std::string source, coders;
    int exitStatus = -1;
    bool timedOut = false;
    int framesExpected = 0;
    int framesWritten = 0;
    double fps = 0.0;
    double pictureSeconds = 0.0;
    double soundSeconds = 0.0;
    std::vector<double> flashes, beeps;
    // Beep minus flash (a sound file: beep minus event) in ms, per event;
    // empty when the flashes and beeps cannot be paired.
    std::vector<double> offsetsMs;
    std::vector<std::string> faults; // what breaks the expectations; empty: it keeps sync

    bool passed() const { return faults.empty(); }
};

// Writes the source and a profile into folder (which must exist), converts
// with moxel-cli and measures the output.
SyncRow runSyncJob(const SyncSource& source, const SyncCoders& coders, const std::string& folder);

// The table: a heading and one line per row.
std::string syncTableHeading();
std::string syncTableLine(const SyncRow& row);

// The source/coder pairs a run covers: all of them, or, when the
// environment's MOXEL_SYNC_VARIANTS is "few" (the sanitizer builds), every
// source with uncompressed coders and one source per compressing coder set.
bool syncVariantSelected(const SyncSource& source, const SyncCoders& coders);

} // namespace moxel::test
