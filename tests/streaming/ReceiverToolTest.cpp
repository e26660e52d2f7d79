// The receiving tool's own promises, checked with a plain connection as the
// client: header lines and frame bytes in their files, the drop after N
// bytes, and slow reading that still gets every byte in order.
#include "StreamJob.h"

#include "net/BroxMessage.h"
#include "net/NetConnection.h"

#include <gtest/gtest.h>

using namespace moxel;
using namespace moxel::test;

namespace {

// Connects to port and queues bytes; run() moves them.
struct Client {
    explicit Client(int port) : connection(65536, 1024) { connection.connect("127.0.0.1", port); }
    bool sendAll(const std::vector<uint8_t>& bytes)
    {
        size_t at = 0;
        return waitUntil([&] {
            connection.run(-1, -1);
            size_t n = std::min(bytes.size() - at, size_t(connection.sendFree()));
            connection.send(bytes.data() + at, int(n));
            at += n;
            return at == bytes.size() && connection.sendQueued() == 0;
        });
    }
    NetConnection connection;
};

} // namespace

TEST(ReceiverTool, WritesHeaderLinesAndFrameBytesToFiles)
{
    TempDir dir;
    ReceiverOptions options = receiverOptions(ReceiveProtocol::Brox);
    options.headerFile = dir.file("lines.txt");
    options.dataFile = dir.file("frames.bin");
    KmfReceiver server;
    ASSERT_TRUE(server.start(options));
    std::vector<uint8_t> wire;
    appendBroxMessage(wire, kBroxHeaderLine1, "first", 6);
    appendBroxMessage(wire, kBroxHeaderLine2, "second", 7);
    appendBroxMessage(wire, kBroxHeaderEnd, nullptr, 0);
    std::vector<uint8_t> frames(kBroxDataSize * 2);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = uint8_t(i % 253);
    appendBroxMessage(wire, kBroxData, frames.data(), kBroxDataSize);
    appendBroxMessage(wire, kBroxData, frames.data() + kBroxDataSize, kBroxDataSize);
    Client client(server.port());
    ASSERT_TRUE(client.sendAll(wire));
    ASSERT_TRUE(waitUntil([&] { return server.stream(0).dataMessages == 2; }));
    server.stop();
    EXPECT_EQ(readFileText(dir.file("lines.txt")), "first\nsecond\n");
    EXPECT_EQ(readFileBytes(dir.file("frames.bin")), frames);
}

TEST(ReceiverTool, DropsAfterExactlyNBytesAndReadsSlowlyInOrder)
{
    ReceiverOptions options = receiverOptions(ReceiveProtocol::Qz);
    options.dropAfter = 1000;
    KmfReceiver server;
    ASSERT_TRUE(server.start(options));
    Client client(server.port());
    std::vector<uint8_t> bytes = bytesOf("icy-name:a\r\n\r\n");
    bytes.resize(5000, 'f');
    ASSERT_TRUE(client.sendAll(bytes));
    ASSERT_TRUE(waitUntil([&] { return server.closedCount() == 1; }));
    EXPECT_EQ(server.stream(0).bytesReceived, 1000u);

    ReceiverOptions slow = receiverOptions(ReceiveProtocol::Qz);
    slow.readChunk = 700;
    slow.readPauseMs = 1;
    KmfReceiver slowServer;
    ASSERT_TRUE(slowServer.start(slow));
    Client second(slowServer.port());
    for (size_t i = 14; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 3);
    ASSERT_TRUE(second.sendAll(bytes));
    ASSERT_TRUE(waitUntil([&] { return slowServer.stream(0).bytesReceived == bytes.size(); }));
    EXPECT_EQ(slowServer.stream(0).raw, bytes);
    EXPECT_EQ(slowServer.stream(0).headerLines, std::vector<std::string>{"icy-name:a"});
}
