// One moxel-cli --batch process streaming to two loopback receivers (qz and
// brox in turn, one job each line) while the receivers drop the connection
// at a fixed interval: every connection the encoder makes, the first of a
// job or a reconnect, starts with the whole header; no job fails; and the
// process's file descriptors, threads and memory at the end of the run are
// what they were at its start. The encoder does not keep to real time, so a
// job is a long tiny-picture stream (a clip of one picture a second turned
// into a thousand frames a second); the run ends with SIGINT once its time
// is up, which aborts the job then running.
#include "CliProcess.h"
#include "ProcessWatch.h"
#include "SoakSupport.h"

#include "support/ClipWriter.h"
#include "support/TempDir.h"
#include "tools/kmf-receive/KmfReceiver.h"

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <thread>

namespace moxel {
namespace {

using Clock = std::chrono::steady_clock;

const char* const kProfileName = "Soak: RGB 32x24 at 1000 fps";
const std::vector<std::string> kHeaderLines = {"icy-name:Moxel soak", "icy-genre:test"};
// Past the last drop the run goes on this long, so no reconnect is under way
// when it ends (a lost connection is tried again at most every 10 s).
constexpr int kQuietEndSeconds = 12;

struct ReceiverTally {
    size_t connections = 0;
    size_t wholeHeader = 0; // complete, with the header file's lines
    size_t emptyAtEnd = 0;  // the last one, opened as the run was interrupted
    std::string faults;
};

ReceiverTally tally(const KmfReceiver& receiver, const char* name)
{
    ReceiverTally t;
    const std::vector<ReceivedStream> streams = receiver.streams();
    t.connections = streams.size();
    for (size_t i = 0; i < streams.size(); ++i) {
        const ReceivedStream& s = streams[i];
        if (s.headerComplete && s.headerLines == kHeaderLines)
            ++t.wholeHeader;
        else if (i + 1 == streams.size() && s.bytesReceived == 0)
            ++t.emptyAtEnd;
        else
            t.faults += std::string(name) + " connection " + std::to_string(i + 1) + ": " +
                        std::to_string(s.headerLines.size()) + " header lines, " +
                        (s.headerComplete ? "complete" : "incomplete") + ", " +
                        std::to_string(s.bytesReceived) + " bytes\n";
    }
    return t;
}

long countOf(const std::string& text, const std::string& word)
{
    long n = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

TEST(StreamSoakTest, ReconnectsResendTheHeaderAndTheProcessStaysFlat)
{
    const int seconds = test::soakCount("MOXEL_SOAK_STREAM_SECONDS", 30, 24);
    const int dropEvery = test::soakCount("MOXEL_SOAK_STREAM_DROP_SECONDS", 8, 6);
    // Source pictures of a job, one a second: 480 frames each to stream (the
    // highest rate a KMF frame can announce), so that a job outlasts the
    // reconnect pause after a drop.
    const int pictures = test::soakCount("MOXEL_SOAK_STREAM_JOB_PICTURES", 21000, 8400);
    test::TempDir dir;
    const std::string folder = dir.path().string();
    const std::string program =
        test::installCli(folder, test::rawProfileWith({{"friendly_name", kProfileName},
                                                       {"resizew", "32"},
                                                       {"resizeh", "24"},
                                                       {"outfruse", "1"},
                                                       {"outfror", "480.0"}}));
    test::ClipSpec spec;
    spec.videoCodec = "mpeg4";
    spec.width = 64;
    spec.height = 48;
    spec.fpsNum = 1;
    spec.frameCount = pictures;
    std::string error;
    ASSERT_TRUE(test::writeClip(dir.file("clip.avi"), spec, &error)) << error;
    test::writeFileText(dir.file("header.txt"), kHeaderLines[0] + "\n" + kHeaderLines[1] + "\n");

    KmfReceiver qz, brox;
    ReceiverOptions options;
    options.keepBytes = false;
    ASSERT_TRUE(qz.start(options, &error)) << error;
    options.protocol = ReceiveProtocol::Brox;
    ASSERT_TRUE(brox.start(options, &error)) << error;
    // Far more lines than the run can take; it is interrupted when time is up.
    std::string batch;
    for (int i = 0; i < 2000; ++i)
        batch += dir.file("clip.avi") + "\t" +
                 (i % 2 ? "brox:127.0.0.1:" + std::to_string(brox.port())
                        : "qz:127.0.0.1:" + std::to_string(qz.port())) +
                 ":" + dir.file("header.txt") + "\t" + kProfileName + "\r\n";
    test::writeFileText(dir.file("batch.txt"), batch);

    const Clock::time_point begin = Clock::now();
    auto elapsed = [begin] {
        return std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - begin).count();
    };
    test::CliProcess child(folder, {"--batch", dir.file("batch.txt")}, program);
    ASSERT_GT(child.pid(), 0);
    test::ProcessWatch watch(child.pid(), std::chrono::milliseconds(100),
                             [&elapsed] { return long(elapsed()); });
    int drops = 0;
    while (elapsed() < seconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const long now = elapsed();
        if (now >= long(drops + 1) * dropEvery && now + kQuietEndSeconds <= seconds) {
            qz.dropAll();
            brox.dropAll();
            ++drops;
        }
    }
    child.signal(SIGINT);
    const test::CliResult result = child.finish();
    watch.stop();
    const long ran = long(elapsed());
    qz.stop();
    brox.stop();

    // Every job but the interrupted last one complete, none failed.
    const long complete = countOf(result.err, " frames in ");
    const long aborted = countOf(result.err, "aborted by user");
    EXPECT_EQ(result.exitStatus, 1) << result.err;
    EXPECT_EQ(aborted, 1) << result.err;
    EXPECT_EQ(countOf(result.err, "error") + countOf(result.err, "ERROR"), 0) << result.err;
    const long reconnects = countOf(result.out, "reconnecting to");
    EXPECT_GE(reconnects, 1) << result.out;

    // One connection for each job and each reconnect, each with the header.
    const ReceiverTally q = tally(qz, "qz"), b = tally(brox, "brox");
    EXPECT_EQ(long(q.connections + b.connections), complete + aborted + reconnects);
    EXPECT_EQ(q.faults + b.faults, "");

    // The steady state of a job, early in the run and over its last fifth.
    const long window = std::max(3, seconds / 5);
    const test::WindowLevel start = watch.level(2, 2 + window, 0.5);
    const test::WindowLevel end = watch.level(ran - window, ran, 0.5);
    ASSERT_GT(start.samples, 0);
    ASSERT_GT(end.samples, 0);
    EXPECT_LE(end.fds, start.fds + 1);
    EXPECT_LE(end.threads, start.threads + 1);
    // A backlog (1 MiB) lost with each dropped connection would pass this
    // after a handful of drops.
    if (!test::soakSanitized()) {
        EXPECT_LT(end.rssKiB, start.rssKiB + 8192);
    }

    const std::string figures =
        "stream soak: " + std::to_string(ran) + " s, " + std::to_string(complete) +
        " jobs complete + 1 interrupted, " + std::to_string(drops) + " drops, " +
        std::to_string(reconnects) + " reconnects (qz " +
        std::to_string(countOf(result.out, "[qz] reconnecting")) + " brox " +
        std::to_string(countOf(result.out, "[brox] reconnecting")) + "), connections qz " +
        std::to_string(q.connections) + " brox " + std::to_string(b.connections) +
        ", whole header on " + std::to_string(q.wholeHeader + b.wholeHeader) + " (" +
        std::to_string(q.emptyAtEnd + b.emptyAtEnd) + " empty at the interrupt); " +
        test::describeLevels(start, end) + " (median); peak " +
        test::describeLevels(watch.level(2, 2 + window, 1), watch.level(ran - window, ran, 1));
    RecordProperty("reconnects", int(reconnects));
    RecordProperty("figures", figures);
    std::cout << figures << std::endl;
}

} // namespace
} // namespace moxel
