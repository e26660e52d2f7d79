// What a server receives, byte for byte: the qz text header (with the
// icy-reset line sent once), the brox header messages, empty header files,
// brox data in 8192-byte messages with the rest waiting, and the frames
// matching the copy file. Also what the encoder makes of a server's talk.
#include "StreamJob.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace moxel;
using namespace moxel::test;

namespace {

// A brox message composed here by hand, independent of the program's own code.
std::vector<uint8_t> brox(int cls, int type, const std::string& payload, bool withNul)
{
    size_t length = payload.size() + (withNul ? 1 : 0);
    int field = cls * 4096 + type;
    std::vector<uint8_t> m;
    m.reserve(length + 7);
    for (int b : {0x5A, 0x00, field >> 8, field & 0xFF, int(length >> 8), int(length & 0xFF)})
        m.push_back(uint8_t(b));
    for (char ch : payload)
        m.push_back(uint8_t(ch));
    if (withNul)
        m.push_back(0);
    m.push_back(0);
    return m;
}

std::vector<uint8_t> join(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

bool startsWith(const std::vector<uint8_t>& whole, const std::vector<uint8_t>& prefix)
{
    return whole.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), whole.begin());
}

} // namespace

TEST(StreamHeader, QzSendsTheLinesThenTheFramesOfTheCopyFile)
{
    KmfReceiver server;
    ASSERT_TRUE(server.start(receiverOptions(ReceiveProtocol::Qz)));
    StreamJob job;
    std::string header =
        job.headerFile("icy-name:test\r\nicy-reset:1\nicy-genre:live\n\nicy-url:ignored\n");
    job.open(job.destination("qz", server.port(), header));
    std::string expected = "icy-name:test\r\nicy-reset:1\r\nicy-genre:live\r\n\r\n";
    ASSERT_TRUE(job.framesUntil([&] { return server.stream(0).dataBytes > 0; }));
    for (int i = 0; i < 10; ++i)
        job.frame();
    std::vector<uint8_t> copy = readFileBytes(job.copyPath());
    // What the last pump left in the connection's ring goes out with the next frame.
    size_t inRing = size_t(job.stream().connection()->sendQueued());
    copy.resize(copy.size() - inRing);
    ASSERT_TRUE(waitUntil([&] { return server.stream(0).dataBytes == copy.size(); }));

    ReceivedStream got = server.stream(0);
    EXPECT_EQ(got.raw, join({bytesOf(expected), copy}));
    EXPECT_EQ(got.headerLines,
              (std::vector<std::string>{"icy-name:test", "icy-reset:1", "icy-genre:live"}));
    EXPECT_EQ(job.stream().unsentBytes(), 0u);
    EXPECT_EQ(job.stream().framesDropped(), 0u);
}

TEST(StreamHeader, BroxSendsHeaderMessagesAndWholeDataMessagesOnly)
{
    KmfReceiver server;
    ASSERT_TRUE(server.start(receiverOptions(ReceiveProtocol::Brox)));
    StreamJob job(16, 16);
    std::string header = job.headerFile("My Station\nsecond line\nthird line is kept only\n");
    job.open(job.destination("brox", server.port(), header));
    std::vector<uint8_t> expectedHeader = join({
        {0x5A, 0x00, 0x10, 0x01, 0x00, 0x0B, 'M', 'y', ' ', 'S', 't', 'a', 't', 'i', 'o', 'n', 0,
         0},
        brox(1, 2, "second line", true),
        brox(1, 3, "512:256", true),
        brox(1, 8, "8192:8192", true),
        {0x5A, 0x00, 0x10, 0x04, 0x00, 0x00, 0x00},
    });

    // Enough frames for a few data messages and a remainder.
    ASSERT_TRUE(job.framesUntil([&] {
        size_t size = readFileBytes(job.copyPath()).size();
        return size > 3 * 8192 && size % 8192 != 0;
    }));
    std::vector<uint8_t> copy = readFileBytes(job.copyPath());
    size_t messages = copy.size() / 8192;
    ASSERT_TRUE(waitUntil([&] { return server.stream(0).dataMessages == messages; }));
    ReceivedStream got = server.stream(0);
    ASSERT_TRUE(startsWith(got.raw, expectedHeader));
    EXPECT_EQ(got.raw.size(), expectedHeader.size() + messages * (8192 + 7));
    EXPECT_EQ(got.data, std::vector<uint8_t>(copy.begin(), copy.begin() + long(messages * 8192)));
    EXPECT_EQ(got.garbledBytes, 0u);
    // Every data message is 0x5A 0x00 0x77 0x77 0x20 0x00, 8192 bytes, 0x00.
    for (size_t m = 0; m < messages; ++m) {
        size_t at = expectedHeader.size() + m * (8192 + 7);
        EXPECT_EQ(std::vector<uint8_t>(got.raw.begin() + long(at), got.raw.begin() + long(at) + 6),
                  (std::vector<uint8_t>{0x5A, 0x00, 0x77, 0x77, 0x20, 0x00}));
        EXPECT_EQ(got.raw[at + 6 + 8192], 0);
    }
    EXPECT_EQ(job.stream().unsentBytes(), copy.size() % 8192); // waits for later frames
}

TEST(StreamHeader, EmptyHeaderFileSendsOnlyTheEnd)
{
    for (ReceiveProtocol protocol : {ReceiveProtocol::Qz, ReceiveProtocol::Brox}) {
        bool qz = protocol == ReceiveProtocol::Qz;
        KmfReceiver server;
        ASSERT_TRUE(server.start(receiverOptions(protocol)));
        StreamJob job(64, 64);
        job.open(job.destination(qz ? "qz" : "brox", server.port(), job.headerFile("")));
        ASSERT_TRUE(job.framesUntil([&] { return server.stream(0).dataBytes > 0; }));
        ReceivedStream got = server.stream(0);
        std::vector<uint8_t> end = qz ? bytesOf("\r\n") : brox(1, 4, "", false);
        EXPECT_TRUE(startsWith(got.raw, end)) << (qz ? "qz" : "brox");
        EXPECT_TRUE(got.headerLines.empty());
        std::vector<uint8_t> copy = readFileBytes(job.copyPath());
        EXPECT_TRUE(startsWith(copy, got.data));
    }
    // A header whose first line is empty counts as empty too.
    KmfReceiver server;
    ASSERT_TRUE(server.start(receiverOptions(ReceiveProtocol::Brox)));
    StreamJob job;
    job.open(job.destination("brox", server.port(), job.headerFile("\nname\n")));
    ASSERT_TRUE(job.framesUntil([&] { return server.stream(0).headerComplete; }));
    EXPECT_TRUE(startsWith(server.stream(0).raw, brox(1, 4, "", false)));
}

TEST(StreamHeader, BroxServerMessagesAreLoggedOneAFrameAndGarbageIsSkipped)
{
    ReceiverOptions options = receiverOptions(ReceiveProtocol::Brox);
    options.greeting = join({
        bytesOf("noise"),
        {0x5A, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, // longer than the receive buffer: never whole
        bytesOf("xx"),
        brox(2, 5, "ok", false),
        brox(3, 1, "hi\x01", false),
        {0x5A, 0x00, 0x10, 0x01, 0x00, 0x10, 'c', 'u', 't'}, // still on its way
    });
    KmfReceiver server;
    ASSERT_TRUE(server.start(options));
    StreamJob job;
    job.open(job.destination("brox", server.port(), job.headerFile("a\n"), false));
    size_t before = 0;
    ASSERT_TRUE(job.framesUntil([&] {
        // Never more than one message a frame.
        EXPECT_LE(job.log().size(), before + 1);
        before = job.log().size();
        return job.logCount("Got msg") == 2;
    }));
    ASSERT_EQ(job.log().size(), 2u);
    EXPECT_EQ(job.log()[0], "[brox]Got msg: 0,8197,2,'ok'");
    EXPECT_EQ(job.log()[1], "[brox]Got msg: 0,12289,3,'hi?'");
    for (int i = 0; i < 20; ++i)
        job.frame();
    EXPECT_EQ(job.log().size(), 2u); // the cut message waits for its rest
    EXPECT_EQ(job.stream().connection()->recvAvailable(), 9);
    EXPECT_EQ(job.state(), NetState::Connected);
}

TEST(StreamHeader, QzServerTalkIsReadAndDropped)
{
    ReceiverOptions options = receiverOptions(ReceiveProtocol::Qz);
    options.greeting = std::vector<uint8_t>(3000, 'z');
    KmfReceiver server;
    ASSERT_TRUE(server.start(options));
    StreamJob job;
    job.open(job.destination("qz", server.port(), job.headerFile("icy-name:a\n"), false));
    ASSERT_TRUE(job.framesUntil([&] {
        return job.stream().connection()->recvAvailable() == 0 && server.stream(0).dataBytes > 0 &&
               job.frames > 5;
    }));
    EXPECT_TRUE(job.log().empty());
}
