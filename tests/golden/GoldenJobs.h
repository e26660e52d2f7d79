// The table of golden jobs: for each, a source clip that the test writes
// with lossless codecs (raw pictures, 16-bit PCM), so it is the same on
// every machine, and the profile keys that differ from an uncompressed
// base profile. Every job runs through moxel-cli, and the size and SHA-256
// of the file it writes are compared with tests/golden/expected.txt.
#pragma once

#include "support/ClipWriter.h"

#include <string>
#include <utility>
#include <vector>

namespace moxel::test {

using ProfileKeys = std::vector<std::pair<std::string, std::string>>;

struct GoldenJob {
    std::string name;   // letters, digits and underscores: also the test's name
    std::string source; // one of goldenSourceNames(), e.g. "clip.avi"
    ProfileKeys keys;   // replace or add to the base profile's keys
};

const std::vector<GoldenJob>& goldenJobs();

// The clip behind a source name; its extension picks the container (and
// ".mov" the movie source of the engine).
ClipSpec goldenSourceSpec(const std::string& source);
std::vector<std::string> goldenSourceNames();

// The text of the .pf file of a job: the sections "kmfencpp", "kmfconfig"
// and the codec plug-in's "kmf_coder_av", in the order and form the program
// saves them, the base values replaced by the job's keys.
std::string goldenProfileText(const GoldenJob& job);

// The golden sources' picture: a comb of odd rows against even ones (which
// deinterlacing removes), gradients that move from frame to frame and
// noise in red, so that a change to any pixel of any processing path shows.
void drawGoldenPicture(uint8_t* bgra, int width, int height, int frameNumber);

} // namespace moxel::test
