// Output that cannot be written: a job whose destination fills up ends in
// Error with the encoder's write message, never Complete, and leaves no
// partial file behind. Three ways to a
// full disk: /dev/full, a file size limit on moxel-cli (SIGXFSZ ignored, so
// the write fails with EFBIG), and a small tmpfs where one can be mounted.
#include "CliProcess.h"
#include "SoakSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/mount.h>

namespace moxel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kWriteMessage = "addVideoFrame: error writing output file";

class FullDiskTest : public test::DriverTest {
  protected:
    std::string source()
    {
        test::ClipSpec spec;
        spec.videoCodec = "mpeg4";
        spec.audioCodec = "aac";
        spec.frameCount = 25;
        return clip("clip.mkv", spec);
    }
    void expectWriteError(const std::string& dest, const test::Keys& keys)
    {
        auto record = job(source(), dest);
        bool timedOut = false;
        const JobStatus end = test::runWithWatchdog(m_run, *record, profile(keys), m_prompt,
                                                    std::chrono::seconds(60), &timedOut);
        EXPECT_FALSE(timedOut);
        EXPECT_EQ(end, JobStatus::Error);
        EXPECT_NE(test::messageWith(m_prompt, kWriteMessage), "");
    }
};

TEST_F(FullDiskTest, AJobWritingToDevFullEndsInError)
{
    // Without the file header the first write is the first frame's.
    expectWriteError("/dev/full", test::uncompressedKeys({{"hdrwrite", "0"}, {"hdrtoc", "0"}}));
}

TEST_F(FullDiskTest, AJobOnAFullTmpfsEndsInError)
{
    const fs::path mountPoint = m_dir.file("small");
    fs::create_directory(mountPoint);
    if (mount("soak", mountPoint.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        const fs::path& at;
        ~Unmount() { EXPECT_EQ(umount2(at.c_str(), MNT_DETACH), 0); }
    } unmount{mountPoint};
    expectWriteError((mountPoint / "out.kmf").string(), test::uncompressedKeys());
}

TEST_F(FullDiskTest, TheCliUnderAFileSizeLimitEndsInErrorWithTheWriteMessage)
{
    const std::string clipPath = source();
    const std::string dest = file("out.kmf");
    const std::string profileText =
        test::readFileText(MOXEL_SAMPLE_PROFILES "/uncompressed-rgb-pcm.pf");
    test::writeFileText(file("raw.pf"), profileText);
    // 256 KiB: the header fits, the frames of 320 x 240 RGB soon do not.
    const std::string script = std::string("trap '' XFSZ; ulimit -f 256; exec '") + MOXEL_CLI_PATH +
                               "' --profile '" + file("raw.pf") + "' --progress '" +
                               file("progress.txt") + "' -o '" + dest + "' '" + clipPath + "'";
    const test::CliResult r =
        test::CliProcess(m_dir.path().string(), {"-c", script}, "/bin/bash").finish();
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_NE(r.err.find(kWriteMessage), std::string::npos) << r.err;
    const std::string progress = test::readFileText(file("progress.txt"));
    EXPECT_EQ(progress.find("complete"), std::string::npos) << progress;
    EXPECT_FALSE(fs::exists(dest));
    for (const auto& entry : fs::directory_iterator(m_dir.path()))
        EXPECT_NE(entry.path().filename().string().rfind(".out.kmf.", 0), 0u) << entry.path();
}

} // namespace
} // namespace moxel
