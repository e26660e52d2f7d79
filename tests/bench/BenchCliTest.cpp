#include "bench/cli/AlternatedRuns.h"
#include "bench/cli/BenchInputs.h"
#include "bench/cli/CommandRun.h"
#include "plugins/av/AvFormats.h"
#include "profiles/EncodingProfile.h"
#include "profiles/IniFile.h"
#include "profiles/KmfConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace moxel::bench {
namespace {

using test::readFileText;
using test::TempDir;

Measure measure(double seconds, long kib, bool ok = true)
{
    return {seconds, kib, ok};
}

TEST(BenchRuns, CommandsRunInTurnRoundByRound)
{
    TempDir dir;
    const std::string order = dir.file("order");
    auto append = [&](const char* mark) {
        return Command{{"sh", "-c", std::string("printf ") + mark + " >> " + order}};
    };
    const auto m = runAlternately({append("a"), append("b"), append("c")}, 3, dir.file("log"));
    EXPECT_EQ(readFileText(order), "abcabcabc");
    ASSERT_EQ(m.size(), 3u);
    for (const auto& side : m) {
        ASSERT_EQ(side.size(), 3u);
        EXPECT_TRUE(summarize(side).ok);
    }
}

TEST(BenchRuns, MediansAndRoundByRoundRatios)
{
    EXPECT_DOUBLE_EQ(median({3, 1, 2}), 2);
    EXPECT_DOUBLE_EQ(median({4, 1, 3, 2}), 2.5);
    EXPECT_DOUBLE_EQ(median({}), 0);

    // A busy machine slows both sides of a round alike: the ratio is taken
    // per round, so it stays 0.5 although the sides' medians say 1.
    const std::vector<Measure> a = {measure(1, 100), measure(2, 100), measure(8, 300)};
    const std::vector<Measure> b = {measure(2, 200), measure(4, 200), measure(16, 600)};
    const std::vector<Measure> c = {measure(2, 100), measure(0.5, 100), measure(4, 300)};
    EXPECT_DOUBLE_EQ(ratio(a, b).time, 0.5);
    EXPECT_DOUBLE_EQ(ratio(a, b).memory, 0.5);
    EXPECT_DOUBLE_EQ(ratio(a, c).time, 2);
    const SideSummary s = summarize(b);
    EXPECT_DOUBLE_EQ(s.seconds, 4);
    EXPECT_EQ(s.peakKiB, 200);
    EXPECT_TRUE(s.ok);
    EXPECT_FALSE(summarize({measure(1, 1), measure(1, 1, false)}).ok);
    // A run that measured nothing does not make a ratio infinite.
    EXPECT_DOUBLE_EQ(ratio({measure(1, 10)}, {measure(0, 0)}).time, 0);
}

TEST(BenchCommand, FailuresAreToldApart)
{
    TempDir dir;
    const std::string log = dir.file("log");
    const Measure fine = runCommand({"sh", "-c", "echo said"}, log);
    EXPECT_TRUE(fine.ok);
    EXPECT_GT(fine.peakKiB, 0);
    EXPECT_FALSE(runCommand({"sh", "-c", "exit 3"}, log).ok);
    EXPECT_FALSE(runCommand({"sh", "-c", "kill -9 $$"}, log).ok);
    EXPECT_FALSE(runCommand({dir.file("no-such-program")}, log).ok);
    EXPECT_NE(readFileText(log).find("said"), std::string::npos);
}

// Two children holding memory at the same time: the kernel's peak is the
// larger of the two, the tree's peak is near their sum.
TEST(BenchCommand, TreePeakSumsProcessesRunningAtOnce)
{
    TempDir dir;
    // perl (Debian's essential perl-base) makes the 40 MB string in place.
    const std::string hold = "perl -e 'my $x = \"a\" x shift; sleep 1' 40000000";
    const std::vector<std::string> both = {"sh", "-c", hold + " & " + hold + " & wait"};
    const Measure kernelPeak = runCommand(both, dir.file("log"));
    const Measure treePeak = runCommand(both, dir.file("log"), true);
    ASSERT_TRUE(kernelPeak.ok && treePeak.ok);
    EXPECT_GT(kernelPeak.peakKiB, 35000);
    EXPECT_GT(treePeak.peakKiB, 70000);
    EXPECT_GT(treePeak.peakKiB, kernelPeak.peakKiB * 3 / 2);
    EXPECT_EQ(treeResidentKiB(999999999), 0);
}

TEST(BenchInputs, ProfilesReadBackAsMeant)
{
    TempDir dir;
    const std::string raw = writeProfile(dir.file("raw.pf"), {.width = 512,
                                                              .height = 288,
                                                              .filtered = false,
                                                              .lowPass = false,
                                                              .video = "RGB3",
                                                              .audio = "PCM "});
    EncodingProfile profile;
    profile.filePath = raw;
    profile.load();
    EXPECT_EQ(profile.resizeEnabled, 1);
    EXPECT_EQ(profile.resizeWidth, 512);
    EXPECT_EQ(profile.resizeHeight, 288);
    EXPECT_EQ(profile.filteredResize, 0);
    EXPECT_EQ(profile.lowPassFilter, 0);
    EXPECT_EQ(profile.roundSizeTo16, 0);
    EXPECT_EQ(profile.useOutputFrameRate, 0);
    KmfConfig config(raw);
    config.load();
    EXPECT_EQ(config.videoFormat, av::fourCC("RGB3"));
    EXPECT_EQ(config.audioFormat, av::fourCC("PCM "));
    EXPECT_FALSE(IniFile::load(raw).hasKey("kmf_coder_av", "speed"));

    const std::string coded = writeProfile(dir.file("h264.pf"), {.width = 1280,
                                                                 .height = 720,
                                                                 .outputRate = true,
                                                                 .video = "H264",
                                                                 .audio = "AAC ",
                                                                 .videoKbps = 4000,
                                                                 .keyint = 120,
                                                                 .speed = 5,
                                                                 .audioKbps = 192});
    profile.filePath = coded;
    profile.load();
    EXPECT_EQ(profile.filteredResize, 1);
    EXPECT_EQ(profile.lowPassFilter, 1);
    EXPECT_EQ(profile.useOutputFrameRate, 1);
    KmfConfig codedConfig(coded);
    codedConfig.load();
    EXPECT_EQ(codedConfig.videoFormat, av::kFourCCH264);
    EXPECT_EQ(codedConfig.audioFormat, av::kFourCCAac);
    const IniFile ini = IniFile::load(coded);
    EXPECT_EQ(ini.getInt("kmf_coder_av", "video_bitrate", 0), 4000);
    EXPECT_EQ(ini.getInt("kmf_coder_av", "keyint", 0), 120);
    EXPECT_EQ(ini.getInt("kmf_coder_av", "speed", 0), 5);
    EXPECT_EQ(ini.getInt("kmf_coder_av", "audio_bitrate", 0), 192);
}

} // namespace
} // namespace moxel::bench
