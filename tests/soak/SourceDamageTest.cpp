// Damaged sources through the real conversion driver: a small clip cut at
// seeded offsets and with bits flipped at seeded places. Every job ends,
// Complete or Error, within ten times the intact clip's time, and whatever
// it wrote reads back as a sound KMF file.
#include "SoakSupport.h"

#include "container/KmfFileHeader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace moxel {
namespace {

namespace fs = std::filesystem;
using test::ClipSpec;

struct DamageCase {
    const char* name;
    const char* extension;
    const char* video;
    const char* audio;
};

void PrintTo(const DamageCase& c, std::ostream* out)
{
    *out << c.name;
}

std::vector<uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(size));
}

class SourceDamageTest : public test::DriverTest, public ::testing::WithParamInterface<DamageCase> {
  protected:
    // Runs one job on source; its end, checked, and the time it took.
    std::chrono::milliseconds convertChecked(const std::string& source, const std::string& what,
                                             std::chrono::milliseconds limit)
    {
        const std::string dest = file("out.kmf");
        fs::remove(dest);
        auto record = job(source, dest);
        bool timedOut = false;
        const auto start = std::chrono::steady_clock::now();
        const JobStatus end =
            test::runWithWatchdog(m_run, *record, m_profile, m_prompt, limit, &timedOut);
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        EXPECT_FALSE(timedOut) << what << ": still running after " << limit.count() << " ms";
        ++m_ends[end == JobStatus::Complete];
        EXPECT_TRUE(end == JobStatus::Complete || end == JobStatus::Error)
            << what << ": ended as " << int(end);
        if (fs::exists(dest)) {
            const test::KmfSummary s = test::summariseKmf(dest);
            EXPECT_TRUE(s.ok) << what << ": " << s.error;
            if (end == JobStatus::Complete) {
                EXPECT_TRUE(s.hasHeader) << what;
                EXPECT_EQ(s.header.fileSize, s.fileBytes) << what;
                if (s.frames.empty()) // a file without frames marks every slot unused
                    for (uint32_t slot : s.header.toc)
                        EXPECT_EQ(slot, kKmfTocUnused) << what;
                else
                    EXPECT_TRUE(s.tocPointsAtFrames()) << what;
            }
        }
        return took;
    }

    std::string m_profile;
    int m_ends[2] = {0, 0}; // Error (or other), Complete
};

TEST_P(SourceDamageTest, CutAndFlippedSourcesEndAndLeaveSoundFiles)
{
    const DamageCase& c = GetParam();
    ClipSpec spec;
    spec.videoCodec = c.video;
    spec.audioCodec = c.audio;
    spec.frameCount = 25;
    const std::string intact = clip(std::string("intact.") + c.extension, spec);
    m_profile = profile(test::uncompressedKeys());
    const std::vector<uint8_t> bytes = readBytes(intact);
    ASSERT_GT(bytes.size(), 1000u);

    // The normal time: the slowest of three runs on the intact clip.
    std::chrono::milliseconds normal{0};
    for (int i = 0; i < 3; ++i) {
        normal = std::max(normal, convertChecked(intact, "intact", std::chrono::seconds(60)));
        ASSERT_EQ(test::summariseKmf(file("out.kmf")).frames.size() > 0, true);
    }
    // A floor keeps a very short normal time from turning a busy machine's
    // scheduling into a failure.
    const auto limit = std::max(normal * 10, std::chrono::milliseconds(1000));

    const int cases = test::soakCount("MOXEL_SOAK_DAMAGE_CASES", 600, 240) / 3;
    std::mt19937_64 random(test::soakSeed() + std::hash<std::string>{}(c.name));
    const std::string damaged = file(std::string("damaged.") + c.extension);
    for (int i = 0; i < cases; ++i) {
        std::vector<uint8_t> copy = bytes;
        size_t size = copy.size();
        std::string what;
        if (i % 2 == 0) {
            // Cut: anywhere, with a bias towards the container's header.
            size = (i % 4 == 0) ? random() % std::min<size_t>(copy.size(), 4096)
                                : random() % copy.size();
            what = "cut at " + std::to_string(size);
        } else {
            // One to eight bit flips, at times in a run of neighbouring bytes.
            const int flips = 1 + int(random() % 8);
            const size_t base = random() % copy.size();
            what = "flips at";
            for (int f = 0; f < flips; ++f) {
                const size_t at = (random() % 2) ? random() % copy.size()
                                                 : std::min(copy.size() - 1, base + random() % 64);
                copy[at] ^= uint8_t(1u << (random() % 8));
                what += " " + std::to_string(at);
            }
        }
        writeBytes(damaged, copy, size);
        convertChecked(damaged, std::string(c.name) + " " + what, limit);
        if (HasFailure())
            break; // the first failing case tells enough
    }
    std::printf("%s: %d damaged sources, %d complete, %d error\n", c.name, cases, m_ends[1] - 3,
                m_ends[0]);
}

INSTANTIATE_TEST_SUITE_P(Clips, SourceDamageTest,
                         ::testing::Values(DamageCase{"Mp4H264Aac", "mp4", "h264", "aac"},
                                           DamageCase{"AviMpeg4Pcm", "avi", "mpeg4", "pcm_s16le"},
                                           DamageCase{"MkvMpeg4Aac", "mkv", "mpeg4", "aac"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace moxel
