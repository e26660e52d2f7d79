// A server that drops the connection and takes the next one: the encoder
// connects again only after more than 10 s (by the test's clock), sends the
// header again (qz without its icy-reset line) and goes on with the bytes it
// had not handed over yet.
#include "StreamJob.h"

#include <gtest/gtest.h>

#include <memory>

using namespace moxel;
using namespace moxel::test;

namespace {

struct ReconnectCase {
    ReceiveProtocol protocol;
    const char* prefix;
    std::string headerFile;
    std::vector<std::string> firstLines;
    std::vector<std::string> againLines;
};

} // namespace

TEST(StreamReconnect, AfterTheIntervalWithTheHeaderAgain)
{
    const ReconnectCase cases[] = {
        {ReceiveProtocol::Qz,
         "qz",
         "icy-name:test\nicy-reset:1\nicy-genre:g\n",
         {"icy-name:test", "icy-reset:1", "icy-genre:g"},
         {"icy-name:test", "icy-genre:g"}},
        {ReceiveProtocol::Brox,
         "brox",
         "icy-name:test\nicy-reset:1\nicy-genre:g\n",
         {"icy-name:test", "icy-reset:1"},
         {"icy-name:test", "icy-reset:1"}},
    };
    for (const ReconnectCase& c : cases) {
        SCOPED_TRACE(c.prefix);
        ReceiverOptions options = receiverOptions(c.protocol);
        options.dropAfter = 20000;
        KmfReceiver server;
        ASSERT_TRUE(server.start(options));
        StreamJob job(16, 16);
        job.open(job.destination(c.prefix, server.port(), job.headerFile(c.headerFile)));

        ASSERT_TRUE(job.framesUntil([&] {
            NetState s = job.state();
            return server.closedCount() == 1 && (s == NetState::Closed || s == NetState::Error);
        }));
        server.setDropAfter(0);
        for (int i = 0; i < 5; ++i)
            job.frame();
        job.clock.advance(kStreamReconnectMs);
        job.frame();
        EXPECT_EQ(job.stream().reconnects(), 0u);
        EXPECT_EQ(server.connectionCount(), 1u);

        job.clock.advance(1);
        job.frame();
        EXPECT_EQ(job.stream().reconnects(), 1u);
        EXPECT_EQ(job.logCount(std::string("[") + c.prefix +
                               "] reconnecting to 127.0.0.1:" + std::to_string(server.port())),
                  1);
        ASSERT_TRUE(job.framesUntil(
            [&] { return server.connectionCount() == 2 && server.stream(1).dataBytes > 30000; }));

        std::vector<uint8_t> copy = readFileBytes(job.copyPath());
        ReceivedStream first = server.stream(0);
        ReceivedStream again = server.stream(1);
        EXPECT_EQ(first.headerLines, c.firstLines);
        EXPECT_EQ(again.headerLines, c.againLines);
        EXPECT_TRUE(again.headerComplete);
        if (c.protocol == ReceiveProtocol::Qz) {
            std::string expected = "icy-name:test\r\nicy-genre:g\r\n\r\n";
            EXPECT_EQ(std::string(again.raw.begin(), again.raw.begin() + long(expected.size())),
                      expected);
        } else {
            EXPECT_EQ(again.messages.size(), first.messages.size());
        }
        // Both connections carry runs of the copy file, the second one
        // going on from where the queue stood.
        EXPECT_TRUE(std::equal(first.data.begin(), first.data.end(), copy.begin()));
        EXPECT_TRUE(contains(copy, again.data));
        EXPECT_EQ(job.stream().framesDropped(), 0u);
        EXPECT_EQ(job.encoder.errorText(), nullptr);

        // Frames whose bytes sat in the send ring when the connection was
        // given up are cut; every frame is counted once all the same.
        const int frames = job.frames;
        EXPECT_TRUE(job.encoder.close());
        const StreamStats s = job.encoder.streamStats().value_or(StreamStats{});
        EXPECT_TRUE(s.connectedEver);
        EXPECT_EQ(s.reconnects, 1u);
        EXPECT_EQ(s.framesSent + s.framesNotSent(), uint64_t(frames));
        EXPECT_EQ(s.framesDroppedBacklog, 0u);
    }
}

TEST(StreamReconnect, ServerThatWasGoneIsFoundAgainOnALaterAttempt)
{
    auto server = std::make_unique<KmfReceiver>();
    ASSERT_TRUE(server->start(receiverOptions(ReceiveProtocol::Qz)));
    int port = server->port();
    StreamJob job(16, 16);
    job.open(job.destination("qz", port, job.headerFile("icy-name:back\n")));
    ASSERT_TRUE(job.framesUntil([&] { return server->stream(0).dataBytes > 0; }));

    server->stop(); // the server goes away altogether
    ASSERT_TRUE(job.framesUntil([&] { return job.state() == NetState::Closed; }));
    job.clock.advance(10001);
    job.frame();
    ASSERT_TRUE(job.framesUntil([&] { return job.state() == NetState::Error; }));
    EXPECT_STREQ(job.stream().connection()->errorText(), "connecting to host");

    ReceiverOptions again = receiverOptions(ReceiveProtocol::Qz);
    again.port = port;
    server = std::make_unique<KmfReceiver>();
    ASSERT_TRUE(server->start(again));
    for (int i = 0; i < 10; ++i)
        job.frame();
    EXPECT_EQ(server->connectionCount(), 0u); // not before the interval has passed again
    job.clock.advance(10001);
    ASSERT_TRUE(job.framesUntil([&] { return server->stream(0).dataBytes > 1000; }));
    EXPECT_EQ(job.stream().reconnects(), 2u);
    EXPECT_EQ(server->stream(0).headerLines, std::vector<std::string>{"icy-name:back"});
    EXPECT_TRUE(contains(readFileBytes(job.copyPath()), server->stream(0).data));
}
