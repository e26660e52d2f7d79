// Helpers of the source tests: a prompt that records what it is asked, a
// profile file written from key/value pairs, and a reader that drains a
// source the way the conversion worker does.
#pragma once

#include "base/Prompt.h"
#include "sources/MediaSource.h"
#include "support/ClipWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace moxel::test {

class RecordingPrompt : public Prompt {
  public:
    struct Message {
        std::string title, text;
    };
    void showMessage(const std::string& title, const std::string& text) override
    {
        messages.push_back({title, text});
    }
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    FileExistsAnswer askFileExists(const std::string&) override { return FileExistsAnswer::Yes; }

    std::vector<Message> messages;
};

// from, from + 1, ..., to: the frame numbers of pictures handed out in order.
std::vector<int> counting(int from, int to);

// Writes a profile file with the given "kmfencpp" keys; returns its path.
std::string writeProfile(const std::string& path,
                         const std::vector<std::pair<std::string, std::string>>& keys);

struct DrainResult {
    std::vector<int> frameNumbers; // readFrameNumber of every picture handed out
    std::vector<int16_t> samples;  // every PCM sample handed out
    int64_t audioBytes = 0;
    bool countsAligned = true; // every getAudio count a multiple of the output frame size
};

// A fixture that writes clips and profiles into a temporary folder, with
// the picture tables built and the decoders' complaints about the damaged
// files of some tests silenced. The assumed frame rate preference is back at
// its default after each test.
class ClipTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Writes spec as name in the folder; returns its path.
    std::string clip(const std::string& name, const ClipSpec& spec);
    // A profile file with these keys; returns its path.
    std::string profile(const std::vector<std::pair<std::string, std::string>>& keys);

    TempDir m_dir;
    int m_profiles = 0;
};

// Runs the ffmpeg command with these arguments (after "-v error -y
// -nostdin"), for clips the clip writer cannot make: variable frame rates,
// other time scales. False, with its error output in error, when it fails.
bool runFfmpeg(const std::vector<std::string>& args, std::string* error = nullptr);

// Reads pictures and PCM alternately (16384-byte audio blocks, as the worker
// does) until the video ends, then the remaining audio until getAudio gives
// 0. maxPictures stops early.
DrainResult drainSource(MediaSource& source, int maxPictures = 100000);

} // namespace moxel::test
