// moxel-cli end to end: its exit status, its messages and questions on
// standard error, the progress blocks, the run's report, Ctrl-C, the files
// it writes with the bundled profile and the uncompressed one, and standard
// output and FIFOs as destinations, with readers that leave early.
#include "CliProcess.h"

#include "container/FourCC.h"
#include "support/ClipWriter.h"
#include "support/FreePort.h"
#include "support/JsonCheck.h"
#include "support/KmfSummary.h"
#include "support/TempDir.h"
#include "tools/kmf-receive/KmfReceiver.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace moxel {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::runCli;

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class CliRunTest : public ::testing::Test {
  protected:
    void SetUp() override { av_log_set_level(AV_LOG_ERROR); }
    // A clip in the test's folder; its path.
    std::string clip(const std::string& name, int frames = 25, const char* video = "h264",
                     const char* audio = "aac")
    {
        test::ClipSpec spec;
        spec.videoCodec = video;
        spec.audioCodec = audio;
        spec.frameCount = frames;
        std::string error;
        EXPECT_TRUE(test::writeClip(file(name), spec, &error)) << error;
        return file(name);
    }
    std::string file(const std::string& name) const { return m_dir.file(name); }
    // The uncompressed sample profile, copied here (jobs write the profile's
    // kmfconfig section back).
    std::string uncompressed()
    {
        const std::string copy = file("uncompressed.pf");
        if (!fs::exists(copy))
            fs::copy_file(MOXEL_SAMPLE_PROFILES "/uncompressed-rgb-pcm.pf", copy);
        return copy;
    }
    std::string folder() const { return m_dir.path().string(); }

    test::TempDir m_dir;
};

// The last block of a progress text: its lines from after the one before.
std::string lastBlock(const std::string& progress)
{
    const size_t end = progress.rfind("progress=");
    const size_t start = progress.rfind("progress=", end == 0 ? 0 : end - 1);
    return progress.substr(
        start == std::string::npos || start == end ? 0 : progress.find('\n', start) + 1);
}

TEST_F(CliRunTest, BadUsageExitsWithTwo)
{
    EXPECT_EQ(runCli(folder(), {}).exitStatus, 2);
    EXPECT_EQ(runCli(folder(), {"--no-such-option", "a.avi"}).exitStatus, 2);
    const CliResult twoWithOne = runCli(folder(), {"-o", "x.kmf", "a.avi", "b.avi"});
    EXPECT_EQ(twoWithOne.exitStatus, 2);
    EXPECT_TRUE(contains(twoWithOne.err, "single source")) << twoWithOne.err;
    const CliResult noProfile = runCli(folder(), {"--profile", file("none.pf"), "a.avi"});
    EXPECT_EQ(noProfile.exitStatus, 2);
    EXPECT_TRUE(contains(noProfile.err, file("none.pf"))) << noProfile.err;

    const CliResult help = runCli(folder(), {"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    for (const char* part :
         {"--profile", "-o", "--overwrite", "--mkdir", "--progress", "progress=end", "Exit status"})
        EXPECT_TRUE(contains(help.out, part)) << part;
}

TEST_F(CliRunTest, ConvertsWithProgressBlocksThatEndTheRun)
{
    const std::string source = clip("clip.mp4");
    const CliResult r = runCli(
        folder(), {"--profile", uncompressed(), "--progress", file("progress.txt"), "clip.mp4"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "complete [")) << r.err;

    // The default destination: the extension replaced by .kmf.
    const test::KmfSummary s = test::summariseKmf(file("clip.kmf"));
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.frames.size(), 25u);
    EXPECT_EQ(s.videoFormat, kFourCCRgb3);
    EXPECT_EQ(s.audioFormat, kFourCCPcm);
    EXPECT_EQ(s.width, 320u); // the sample profile's size, small enough for RGB3
    EXPECT_EQ(s.height, 240u);

    const std::string progress = test::readFileText(file("progress.txt"));
    ASSERT_GE(progress.size(), 13u);
    EXPECT_EQ(progress.substr(progress.size() - 13), "progress=end\n");
    EXPECT_EQ(progress.find("progress=end"), progress.size() - 13); // only once
    const std::string last = lastBlock(progress);
    for (const char* line : {"job=1\n", "source=clip.mp4\n", "frame=25\n", "percent=100.0\n",
                             "status=complete\n", "out_time=00:00:01.000000\n"})
        EXPECT_TRUE(contains(last, line)) << line << " in\n" << last;
}

TEST_F(CliRunTest, TheBundledProfileWritesVp8AndMp3ThatDecodeAndKmfinfoReads)
{
    clip("sample.mp4", 15);
    const CliResult r = runCli(folder(), {"sample.mp4", "-o", "sample.kmf"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;

    const test::KmfSummary s = test::summariseKmf(file("sample.kmf"));
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.videoFormat, makeFourCC("VP80"));
    EXPECT_EQ(s.audioFormat, makeFourCC("MP3 "));
    EXPECT_EQ(s.width, 640u);
    EXPECT_EQ(s.height, 360u);
    EXPECT_EQ(s.frameRateCode, 30);
    // 0.6 s at the profile's 30 fps, then a frame without a picture for the
    // sound the MP3 coder held back.
    ASSERT_EQ(s.frames.size(), 19u);
    EXPECT_EQ(s.frames.back().videoLength, 0u);
    EXPECT_GT(s.frames.back().audioLength, 0u);
    EXPECT_TRUE(s.tocPointsAtFrames());
    EXPECT_GT(s.audioBytes, 0u);

    // The first picture is a VP8 key picture of the promised size.
    const std::vector<std::vector<uint8_t>> video = test::kmfVideoPayloads(file("sample.kmf"));
    ASSERT_FALSE(video.empty());
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_VP8);
    ASSERT_TRUE(codec);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    ASSERT_EQ(avcodec_open2(context, codec, nullptr), 0);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<uint8_t> bytes = video[0];
    bytes.resize(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE);
    packet->data = bytes.data();
    packet->size = int(video[0].size());
    EXPECT_EQ(avcodec_send_packet(context, packet), 0);
    EXPECT_EQ(avcodec_receive_frame(context, frame), 0);
    EXPECT_EQ(frame->width, 640);
    EXPECT_EQ(frame->height, 360);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);

    const CliResult info = test::runKmfInfo(folder(), "sample.kmf");
    EXPECT_EQ(info.exitStatus, 0) << info.err;
    EXPECT_TRUE(contains(info.out, "\"VP80\" 640x360")) << info.out;
    EXPECT_TRUE(contains(info.out, "\"MP3 \"")) << info.out;
}

TEST_F(CliRunTest, QuestionsAreAnsweredByTheFlagsOrRefused)
{
    clip("clip.avi", 5, "mpeg4", "");
    const std::string profile = uncompressed();
    test::writeFileText(file("clip.kmf"), "old");

    CliResult r = runCli(folder(), {"-p", profile, "clip.avi"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_TRUE(contains(r.err, "File Exists: The destination file:   clip.kmf\nalready exists."))
        << r.err;
    EXPECT_TRUE(contains(r.err, "skipped")) << r.err;
    EXPECT_EQ(test::readFileText(file("clip.kmf")), "old");

    r = runCli(folder(), {"-p", profile, "--overwrite", "clip.avi"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(test::summariseKmf(file("clip.kmf")).ok);

    r = runCli(folder(), {"-p", profile, "-o", "new/deeper/out.kmf", "clip.avi"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_TRUE(contains(r.err, "Create new folder?: The output path: new/deeper\ndoes not exist."))
        << r.err;
    EXPECT_FALSE(fs::exists(file("new")));

    r = runCli(folder(), {"-p", profile, "--mkdir", "-o", "new/deeper/out.kmf", "clip.avi"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(test::summariseKmf(file("new/deeper/out.kmf")).ok);
}

TEST_F(CliRunTest, AFailedJobDoesNotStopTheOthersButSetsTheStatus)
{
    clip("good.avi", 5, "mpeg4", "");
    const CliResult r = runCli(folder(), {"-p", uncompressed(), "missing.avi", "good.avi"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_TRUE(contains(r.err, "Error: DirectShow: error opening input file/stream:\nmissing.avi"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "[1/2] missing.avi: error")) << r.err;
    EXPECT_FALSE(fs::exists(file("missing.kmf")));
    EXPECT_EQ(test::summariseKmf(file("good.kmf")).frames.size(), 5u);
}

TEST_F(CliRunTest, TheReportTellsHowEachJobEndedAndWhy)
{
    clip("good.mp4");
    clip("kept.mp4", 5);
    test::writeFileText(file("kept.kmf"), "earlier output");
    const CliResult r = runCli(folder(), {"--profile", uncompressed(), "--report", "run.json",
                                          "good.mp4", "missing.mp4", "kept.mp4"});
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    // The messages are printed as before.
    EXPECT_TRUE(contains(r.err, "Error: DirectShow: error opening input file/stream:\nmissing.mp4"))
        << r.err;

    test::JsonValue report;
    std::string error;
    ASSERT_TRUE(test::parseJson(test::readFileText(file("run.json")), report, error)) << error;
    const test::JsonValue& jobs = report["jobs"];
    ASSERT_EQ(jobs.items.size(), 3u);
    const char* const sources[] = {"good.mp4", "missing.mp4", "kept.mp4"};
    const char* const statuses[] = {"complete", "error", "skipped"};
    for (size_t i = 0; i < 3; ++i) {
        const test::JsonValue& job = jobs[i];
        EXPECT_EQ(job["source"].text, sources[i]);
        EXPECT_EQ(job["status"].text, statuses[i]);
        EXPECT_EQ(job["profile"].text, uncompressed());
        // ISO 8601 in UTC, to the millisecond: "2026-03-01T12:00:05.250Z".
        const std::string started = job["started"].text;
        ASSERT_EQ(started.size(), 24u) << started;
        EXPECT_EQ(started[10], 'T');
        EXPECT_EQ(started.back(), 'Z');
        EXPECT_LE(started, job["ended"].text);
    }
    EXPECT_EQ(jobs[0]["destination"].text, "good.kmf");
    EXPECT_EQ(jobs[0]["error"].text, "");
    const test::JsonValue& counters = jobs[0]["counters"];
    EXPECT_EQ(counters["pictures_written"].number, 25);
    EXPECT_EQ(counters["bytes_written"].number, double(fs::file_size(file("good.kmf"))));
    EXPECT_GT(counters["sound_ms"].number, 900);
    EXPECT_EQ(counters["damaged_packets"].number, 0);
    EXPECT_EQ(counters["stream"].number, 0);
    EXPECT_FALSE(counters.has("stream_reconnects"));
    bool sourceLine = false;
    for (const test::JsonValue& line : jobs[0]["log"].items)
        sourceLine = sourceLine || line.text.rfind("Dshow: ", 0) == 0;
    EXPECT_TRUE(sourceLine);
    EXPECT_EQ(jobs[0]["log_lines_left_out"].number, 0);

    EXPECT_EQ(jobs[1]["error"].text,
              "Error: DirectShow: error opening input file/stream:\nmissing.mp4");
    EXPECT_EQ(jobs[1]["counters"]["pictures_written"].number, 0);

    // Skipped by the unanswered question, which its log keeps.
    EXPECT_EQ(jobs[2]["error"].text, "");
    EXPECT_TRUE(jobs[2]["counters"].isNull());
    ASSERT_EQ(jobs[2]["log"].items.size(), 1u);
    EXPECT_EQ(jobs[2]["log"][0].text.rfind("File Exists: The destination file:   kept.kmf", 0), 0u);
    EXPECT_EQ(test::readFileText(file("kept.kmf")), "earlier output");

    // Written whole under its name: no temporary beside it.
    for (const fs::directory_entry& entry : fs::directory_iterator(folder()))
        EXPECT_EQ(entry.path().filename().string().find("run.json."), std::string::npos)
            << entry.path();
}

TEST_F(CliRunTest, AStreamDestinationReachesTheEncoderUnchanged)
{
    clip("clip.avi", 5, "mpeg4", "");
    const std::string dest = "qz:127.0.0.1:9:absent/header.txt";
    const CliResult r = runCli(folder(), {"-p", uncompressed(), "-o", dest, "clip.avi"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_TRUE(contains(r.err, "ERROR: openOutput: ")) << r.err;
    EXPECT_FALSE(contains(r.err, "Create new folder?")) << r.err;
    EXPECT_FALSE(fs::exists(file("qz:127.0.0.1:9:absent")));
}

TEST_F(CliRunTest, AStreamServerThatGotNothingFailsTheRunAndIsNamed)
{
    clip("clip.avi", 5, "mpeg4", "");
    test::writeFileText(file("header.txt"), "icy-name:cli\n");
    const std::string server = "127.0.0.1:" + std::to_string(test::unusedPort());
    CliResult r =
        runCli(folder(), {"-p", uncompressed(), "-o", "qz:" + server + ":header.txt", "clip.avi"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_TRUE(contains(r.err, "clip.avi: complete [00:00], stream never connected")) << r.err;
    EXPECT_TRUE(
        contains(r.err, "moxel-cli: the stream server " + server + " never received anything\n"))
        << r.err;
    EXPECT_TRUE(contains(r.out, "[qz] never connected to " + server + "; 5 frames not sent"))
        << r.out;

    KmfReceiver receiver;
    ASSERT_TRUE(receiver.start(ReceiverOptions{}));
    const std::string listening = "127.0.0.1:" + std::to_string(receiver.port());
    r = runCli(folder(),
               {"-p", uncompressed(), "-o", "qz:" + listening + ":header.txt", "clip.avi"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_FALSE(contains(r.err, "never")) << r.err;
    EXPECT_TRUE(contains(r.out, "[qz] 5 of 5 frames sent to " + listening)) << r.out;
}

TEST_F(CliRunTest, ProgressOnStandardOutputHasItToItself)
{
    clip("clip.avi", 5, "mpeg4", "");
    const CliResult r = runCli(folder(), {"-p", uncompressed(), "--progress", "-", "clip.avi"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_FALSE(contains(r.out, "Dshow:")) << r.out;
    EXPECT_TRUE(contains(r.err, "Dshow:")) << r.err;
    ASSERT_GE(r.out.size(), 13u);
    EXPECT_EQ(r.out.substr(r.out.size() - 13), "progress=end\n");
    for (size_t start = 0; start < r.out.size();) {
        const size_t end = r.out.find('\n', start);
        const std::string line = r.out.substr(start, end - start);
        EXPECT_NE(line.find('='), std::string::npos) << line;
        start = end + 1;
    }
}

TEST_F(CliRunTest, CtrlCAbortsTheRunningJobAndFinishesItsFile)
{
    // Long enough that the first progress block comes while it runs.
    clip("long.mp4", 600);
    clip("next.avi", 5, "mpeg4", "");
    test::CliProcess cli(folder(), {"--progress", "progress.txt", "long.mp4", "next.avi"});
    for (;;) {
        const std::string progress = test::readFileText(file("progress.txt"));
        if (contains(progress, "status=encoding"))
            break;
        ASSERT_FALSE(contains(progress, "progress=end"))
            << "the job ended before it was interrupted";
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    cli.signal(SIGINT);
    const CliResult r = cli.finish();
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "aborted by user")) << r.err;
    EXPECT_TRUE(contains(r.err, "1 job(s) not started")) << r.err;
    EXPECT_FALSE(fs::exists(file("next.kmf")));

    const test::KmfSummary s = test::summariseKmf(file("long.kmf"));
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.header.fileSize, s.fileBytes);
    EXPECT_GT(s.frames.size(), 0u);
    EXPECT_LT(s.frames.size(), 720u);
    const std::string last = lastBlock(test::readFileText(file("progress.txt")));
    EXPECT_TRUE(contains(last, "status=aborted\n")) << last;
    EXPECT_TRUE(contains(last, "progress=end\n")) << last;
}

} // namespace
} // namespace moxel

namespace moxel {
namespace {

TEST_F(CliRunTest, StandardOutputTakesTheFramesWithoutAHeader)
{
    clip("clip.avi", 5, "mpeg4", "");
    const CliResult r = runCli(folder(), {"-p", uncompressed(), "-o", "-", "clip.avi"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "Dshow:")) << r.err; // not mixed into the frames
    test::writeFileText(file("captured.kmf"), r.out);
    const test::KmfSummary s = test::summariseKmf(file("captured.kmf"));
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_FALSE(s.hasHeader);
    EXPECT_EQ(s.frames.size(), 5u);
    EXPECT_FALSE(fs::exists(file("-")));

    const CliResult both =
        runCli(folder(), {"-p", uncompressed(), "-o", "-", "--progress", "-", "clip.avi"});
    EXPECT_EQ(both.exitStatus, 2) << both.err;
}

TEST_F(CliRunTest, AReaderThatLeavesEndsTheJobWithAnError)
{
    clip("clip.avi", 25, "mpeg4", "");
    ASSERT_EQ(mkfifo(file("pipe.kmf").c_str(), 0600), 0);
    // A watchdog turns a hang into exit status 124.
    const std::string cli =
        std::string("timeout 60 '") + MOXEL_CLI_PATH + "' -p '" + uncompressed() + "' clip.avi -o ";
    const struct {
        const char* name;
        std::string script;
    } cases[] = {
        {"standard output into head", "set -o pipefail; " + cli + "- | head -c 1000 >/dev/null"},
        {"/dev/stdout into head",
         "set -o pipefail; " + cli + "/dev/stdout | head -c 1000 >/dev/null"},
        {"a FIFO whose reader leaves",
         cli + "pipe.kmf & head -c 1000 pipe.kmf >/dev/null; wait $!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult r = test::CliProcess(folder(), {"-c", c.script}, "/bin/bash").finish();
        EXPECT_EQ(r.exitStatus, 1) << r.err;
        EXPECT_TRUE(contains(r.err, "addVideoFrame: error writing output file")) << r.err;
    }
    EXPECT_TRUE(fs::is_fifo(file("pipe.kmf")));
}

} // namespace
} // namespace moxel
