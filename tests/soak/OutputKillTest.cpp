// moxel-cli killed with SIGKILL at seeded moments of a job that replaces an
// earlier file: the earlier file is untouched (or, killed after the job's
// end, the whole new one), and the temporary it was writing beside it reads
// back with the container's reader up to its last whole frame. The frames
// are whole, in order and without a hole from the first picture on; only the
// very end may hold a torn frame.
#include "CliProcess.h"
#include "SoakSupport.h"

#include "container/KmfReader.h"
#include "support/ClipWriter.h"
#include "support/TempDir.h"

extern "C" {
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <thread>

namespace moxel {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 160, kHeight = 120;
constexpr uint32_t kPictureBytes = kWidth * kHeight * 3;

// The uncompressed sample profile at the clip's own size, so that a
// picture's counter can be read back from its RGB3 payload.
std::string killProfileText()
{
    std::string text = test::readFileText(MOXEL_SAMPLE_PROFILES "/uncompressed-rgb-pcm.pf");
    auto replace = [&](const std::string& from, const std::string& to) {
        const size_t at = text.find(from);
        if (at != std::string::npos)
            text.replace(at, from.size(), to);
    };
    replace("resizew=320", "resizew=160");
    replace("resizeh=240", "resizeh=120");
    return text;
}

// The counter an RGB3 payload (rows bottom-up) shows; -2 for a wrong size.
int pictureNumber(const std::vector<uint8_t>& rgb)
{
    if (rgb.size() != kPictureBytes)
        return -2;
    std::vector<uint8_t> bgra(size_t(kWidth) * kHeight * 4);
    for (size_t i = 0, j = 0; i < rgb.size(); i += 3, j += 4) {
        bgra[j] = rgb[i];
        bgra[j + 1] = rgb[i + 1];
        bgra[j + 2] = rgb[i + 2];
    }
    return test::readFrameNumber(bgra.data(), kWidth, kHeight);
}

// The hidden temporaries of out.kmf that a killed writer left in folder.
std::vector<fs::path> temporaries(const fs::path& folder)
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind(".out.kmf.", 0) == 0)
            found.push_back(entry.path());
    return found;
}

struct KilledFile {
    int frames = 0;
    bool tornEnd = false;
};

// Checks a file a killed writer left; what it holds.
KilledFile checkKilledFile(const std::string& path, const std::string& what)
{
    KilledFile result;
    if (!fs::exists(path) || fs::file_size(path) == 0)
        return result; // killed before the first byte
    KmfReader reader;
    EXPECT_TRUE(reader.openFile(path)) << what << ": " << reader.errorText();
    KmfFileHeaderInfo header;
    const KmfReadStatus headerStatus = reader.readFileHeader(header);
    if (headerStatus == KmfReadStatus::Error) {
        // Only a header cut by the kill: nothing after it.
        EXPECT_LT(reader.sourceSize(), 64 * 1024u) << what << ": " << reader.errorText();
        result.tornEnd = true;
        return result;
    }
    uint64_t wholeEnd = reader.hasFileHeader() ? header.headerSize : 0;
    int previous = -1;
    KmfFrameInfo frame;
    KmfReadStatus status;
    std::vector<uint8_t> payload;
    while ((status = reader.nextFrame(frame)) == KmfReadStatus::Ok) {
        EXPECT_TRUE(reader.readVideo(frame, payload)) << what;
        const int number = pictureNumber(payload);
        EXPECT_GE(number, 0) << what << ": frame " << result.frames;
        if (previous < 0)
            EXPECT_EQ(number, 0) << what << ": the first frame";
        else
            EXPECT_TRUE(number == previous || number == previous + 1)
                << what << ": frame " << result.frames << " shows " << number << " after "
                << previous;
        previous = number;
        wholeEnd = frame.offset + frame.size;
        ++result.frames;
        if (::testing::Test::HasFailure())
            return result;
    }
    if (status == KmfReadStatus::Error) {
        // Either a torn last frame (the fault lies in bytes that end the file
        // and are fewer than a whole frame's) or the header of a file that was
        // never closed: still the placeholder written at open, whose file size
        // (its own) is the one fault the reader may name before the frames.
        const bool placeholder = reader.hasFileHeader() && header.fileSize == header.headerSize &&
                                 reader.errorOffset() <= header.headerSize;
        EXPECT_TRUE(placeholder || reader.errorOffset() >= wholeEnd)
            << what << ": " << reader.errorText();
        result.tornEnd = reader.sourceSize() > wholeEnd;
        EXPECT_LT(reader.sourceSize() - wholeEnd, kPictureBytes + 64 * 1024u)
            << what << ": " << reader.errorText();
    }
    return result;
}

TEST(OutputKillTest, FilesOfAKilledCliReadBackToTheirLastWholeFrame)
{
    av_log_set_level(AV_LOG_ERROR);
    test::TempDir dir;
    test::ClipSpec spec;
    spec.videoCodec = "h264";
    spec.audioCodec = "aac";
    spec.width = 1280; // decoding and scaling it down takes the job a while
    spec.height = 720;
    spec.frameCount = 250;
    std::string error;
    ASSERT_TRUE(test::writeClip(dir.file("long.mp4"), spec, &error)) << error;
    test::writeFileText(dir.file("kill.pf"), killProfileText());
    const std::vector<std::string> args = {"--profile", dir.file("kill.pf"), "--overwrite",
                                           "-o",        dir.file("out.kmf"), dir.file("long.mp4")};
    const std::string folder = dir.path().string();

    // The whole job once: its time, and the file it makes.
    const auto start = std::chrono::steady_clock::now();
    const test::CliResult whole = test::runCli(folder, args);
    const auto normal = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(whole.exitStatus, 0) << whole.err;
    const KilledFile complete = checkKilledFile(dir.file("out.kmf"), "whole job");
    ASSERT_GT(complete.frames, 200);
    EXPECT_FALSE(complete.tornEnd);
    EXPECT_TRUE(temporaries(dir.path()).empty());
    const auto normalUs = std::chrono::duration_cast<std::chrono::microseconds>(normal).count();
    const std::string earlier = "the file of an earlier run";

    const int kills = test::soakCount("MOXEL_SOAK_KILL_CASES", 10, 4);
    std::mt19937_64 random(test::soakSeed());
    int torn = 0, frames = 0;
    for (int i = 0; i < kills && !HasFailure(); ++i) {
        test::writeFileText(dir.file("out.kmf"), earlier);
        const auto at = std::chrono::microseconds(random() % uint64_t(normalUs + 1));
        test::CliProcess child(folder, args);
        std::this_thread::sleep_for(at);
        child.signal(SIGKILL);
        child.finish();
        const std::string what = "killed after " + std::to_string(at.count()) + " us";
        if (test::readFileText(dir.file("out.kmf")) != earlier) {
            // Killed after the rename: the job's whole file.
            EXPECT_EQ(checkKilledFile(dir.file("out.kmf"), what).frames, complete.frames) << what;
        }
        for (const fs::path& temporary : temporaries(dir.path())) {
            const KilledFile k = checkKilledFile(temporary.string(), what);
            torn += k.tornEnd;
            frames += k.frames;
            fs::remove(temporary);
        }
    }
    RecordProperty("kills", kills);
    RecordProperty("torn_ends", torn);
    RecordProperty("frames_read", frames);
    std::printf("kills %d, torn ends %d, whole frames read %d, whole job %lld ms\n", kills, torn,
                frames, static_cast<long long>(normalUs / 1000));
}

} // namespace
} // namespace moxel
