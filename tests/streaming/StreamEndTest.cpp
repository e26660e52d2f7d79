// The end of a stream: what still waits when the encoder closes goes to the
// server (all of it, brox's last bytes short of a block too), within a bound
// when the server does not take it; a server never reached, one that never
// reads and one that hangs up after the header end the stream without
// waiting for nothing, and the figures and the closing line say what became
// of every frame.
#include "StreamJob.h"

#include "support/FreePort.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace moxel;
using namespace moxel::test;

namespace {

using Clock = std::chrono::steady_clock;

const char* prefixOf(ReceiveProtocol protocol)
{
    return protocol == ReceiveProtocol::Qz ? "qz" : "brox";
}

// Closes the job's encoder and returns the seconds it took.
double closeTimed(StreamJob& job)
{
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(job.encoder.close());
    return std::chrono::duration<double>(Clock::now() - start).count();
}

StreamStats statsOf(const StreamJob& job)
{
    std::optional<StreamStats> stats = job.encoder.streamStats();
    EXPECT_TRUE(stats.has_value());
    return stats.value_or(StreamStats{});
}

void expectEveryFrameAccountedFor(const StreamStats& s, int frames)
{
    EXPECT_EQ(s.framesSent + s.framesNotSent(), uint64_t(frames))
        << s.framesSent << " sent, " << s.framesDroppedBacklog << " left out, " << s.framesCut
        << " cut, " << s.framesDroppedAtClose << " dropped at close";
}

} // namespace

TEST(StreamEnd, TheServerGetsEveryByteOfTheCopy)
{
    for (ReceiveProtocol protocol : {ReceiveProtocol::Qz, ReceiveProtocol::Brox}) {
        // One frame goes out before the connection is even made; nine end
        // with bytes short of a whole brox block.
        for (int frames : {1, 9}) {
            SCOPED_TRACE(std::string(prefixOf(protocol)) + " " + std::to_string(frames));
            KmfReceiver server;
            ASSERT_TRUE(server.start(receiverOptions(protocol)));
            StreamJob job(32, 32);
            job.open(job.destination(prefixOf(protocol), server.port(),
                                     job.headerFile("icy-name:end\n")));
            for (int i = 0; i < frames; ++i)
                job.frame();
            closeTimed(job);
            ASSERT_TRUE(waitUntil([&] { return server.closedCount() == 1; }));

            const std::vector<uint8_t> copy = readFileBytes(job.copyPath());
            const ReceivedStream got = server.stream(0);
            EXPECT_TRUE(got.headerComplete);
            EXPECT_TRUE(got.data == copy) << got.data.size() << " bytes of " << copy.size();
            EXPECT_EQ(got.garbledBytes, 0u);

            const StreamStats s = statsOf(job);
            const std::string server127 = "127.0.0.1:" + std::to_string(server.port());
            EXPECT_EQ(s.server, server127);
            EXPECT_TRUE(s.connectedEver);
            EXPECT_EQ(s.bytesSent, got.bytesReceived);
            EXPECT_EQ(s.framesSent, uint64_t(frames));
            EXPECT_EQ(s.framesNotSent(), 0u);
            const std::string all = std::to_string(frames);
            EXPECT_EQ(job.logCount("[" + std::string(prefixOf(protocol)) + "] " + all + " of " +
                                   all + (frames == 1 ? " frame" : " frames") + " sent to " +
                                   server127 + " (" + std::to_string(s.bytesSent) + " bytes)"),
                      1);
        }
    }
}

TEST(StreamEnd, NothingListeningMeansNeverConnectedAndNoWaitAtTheEnd)
{
    for (ReceiveProtocol protocol : {ReceiveProtocol::Qz, ReceiveProtocol::Brox}) {
        SCOPED_TRACE(prefixOf(protocol));
        StreamJob job(16, 16);
        job.encoder.setStreamFlushMs(60000); // a bound that must not be waited out
        const int port = unusedPort();
        job.open(job.destination(prefixOf(protocol), port, job.headerFile("icy-name:x\n")));
        ASSERT_TRUE(job.framesUntil([&] { return job.state() == NetState::Error; }, 1000));
        for (int i = 0; i < 5; ++i)
            job.frame();
        EXPECT_LT(closeTimed(job), 30.0);

        const StreamStats s = statsOf(job);
        EXPECT_FALSE(s.connectedEver);
        EXPECT_TRUE(s.serverReachedNothing());
        EXPECT_EQ(s.framesSent, 0u);
        EXPECT_EQ(s.framesDroppedAtClose, uint64_t(job.frames));
        expectEveryFrameAccountedFor(s, job.frames);

        const std::string tag = "[" + std::string(prefixOf(protocol)) + "] ";
        const std::string server = "127.0.0.1:" + std::to_string(port);
        EXPECT_EQ(job.logCount(tag + "cannot connect to " + server + ": connecting to host"), 1);
        EXPECT_EQ(job.logCount(tag + "never connected to " + server + "; " +
                               std::to_string(job.frames) + " frames not sent"),
                  1);
        bool warned = false;
        for (const CapturedLine& line : job.diagnostics->lines())
            warned = warned || (line.line.find("never connected") != std::string::npos &&
                                line.level == DiagnosticLevel::Warning);
        EXPECT_TRUE(warned);
    }
}

TEST(StreamEnd, AServerThatNeverReadsEndsTheStreamWithinTheBound)
{
    for (ReceiveProtocol protocol : {ReceiveProtocol::Qz, ReceiveProtocol::Brox}) {
        SCOPED_TRACE(prefixOf(protocol));
        ReceiverOptions options = receiverOptions(protocol);
        options.stall = true;
        options.receiveBuffer = 4096;
        KmfReceiver server;
        ASSERT_TRUE(server.start(options));
        StreamJob job(64, 64);
        job.encoder.setStreamFlushMs(300);
        job.open(job.destination(prefixOf(protocol), server.port(), job.headerFile("a\n")));
        ASSERT_TRUE(job.framesUntil([&] { return job.stream().framesDropped() > 0; }, 5000));
        for (int i = 0; i < 3; ++i)
            job.frame();
        EXPECT_LT(closeTimed(job), 20.0);

        const StreamStats s = statsOf(job);
        EXPECT_TRUE(s.connectedEver);
        EXPECT_EQ(s.framesDroppedBacklog, 4u);
        EXPECT_GT(s.framesDroppedAtClose, 0u);
        EXPECT_EQ(s.framesCut, 0u);
        expectEveryFrameAccountedFor(s, job.frames);
        EXPECT_EQ(job.logCount("4 left out behind a full backlog, " +
                               std::to_string(s.framesDroppedAtClose) + " still queued at the end"),
                  1);
    }
}

TEST(StreamEnd, AServerThatHangsUpAfterTheHeaderEndsTheStreamAtOnce)
{
    for (ReceiveProtocol protocol : {ReceiveProtocol::Qz, ReceiveProtocol::Brox}) {
        SCOPED_TRACE(prefixOf(protocol));
        ReceiverOptions options = receiverOptions(protocol);
        // "a" CR LF CR LF; or messages (1, 1) with "a" and its NUL, and (1, 4).
        const size_t headerBytes = protocol == ReceiveProtocol::Qz ? 5 : 9 + 7;
        options.dropAfter = headerBytes;
        KmfReceiver server;
        ASSERT_TRUE(server.start(options));
        StreamJob job(32, 32);
        job.encoder.setStreamFlushMs(60000);
        job.open(job.destination(prefixOf(protocol), server.port(), job.headerFile("a\n"), false));
        ASSERT_TRUE(job.framesUntil([&] { return job.state() == NetState::Closed; }, 5000));
        for (int i = 0; i < 5; ++i)
            job.frame();
        EXPECT_LT(closeTimed(job), 30.0);

        const ReceivedStream got = server.stream(0);
        EXPECT_TRUE(got.headerComplete);
        EXPECT_EQ(got.bytesReceived, headerBytes);
        const StreamStats s = statsOf(job);
        EXPECT_TRUE(s.connectedEver);
        EXPECT_FALSE(s.serverReachedNothing());
        EXPECT_GE(s.framesDroppedAtClose, 5u);
        expectEveryFrameAccountedFor(s, job.frames);
        EXPECT_EQ(job.logCount("[" + std::string(prefixOf(protocol)) + "] the server 127.0.0.1:" +
                               std::to_string(server.port()) + " closed the connection"),
                  1);
    }
}
