// The connection against a loopback peer: ring limits, every way into the
// error state, both rings wrapping within one run, draining close, the peer
// closing, and what a forced close leaves behind.
#include "LoopbackPeer.h"

#include "net/NetConnection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

using namespace moxel;
using namespace moxel::test;

namespace {

// A resolver whose lookups the test sees: names map to 127.0.0.1 or fail.
struct CountingLookup {
    std::atomic<int> calls{0};
    std::unique_ptr<AsyncResolver> resolver(const char* knownName)
    {
        std::string known = knownName;
        return std::make_unique<AsyncResolver>(64, steadyClock(), [this, known](const char* name) {
            calls.fetch_add(1);
            return known == name ? htonl(0x7F000001u) : kNoAddress;
        });
    }
};

// A connection to peer, connected and accepted.
std::unique_ptr<NetConnection> connected(LoopbackPeer& peer, int sendSize, int recvSize)
{
    auto c = std::make_unique<NetConnection>(sendSize, recvSize);
    c->connect("127.0.0.1", peer.port());
    EXPECT_EQ(runUntilSettled(*c), NetState::Connected) << c->errorText();
    EXPECT_TRUE(peer.accept());
    return c;
}

// Runs until count bytes have been received (bounded).
void runUntilReceived(NetConnection& c, int count)
{
    for (int i = 0; i < 100000 && c.recvAvailable() < count; ++i) {
        c.run(-1, -1);
        if (c.recvAvailable() < count)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    ASSERT_EQ(c.recvAvailable(), count);
}

} // namespace

TEST(NetConnection, SendRingTakesExactlyItsFreeRoom)
{
    NetConnection c(100, 50);
    EXPECT_EQ(c.state(), NetState::Created);
    EXPECT_STREQ(c.errorText(), "");
    std::vector<uint8_t> bytes = patternBytes(101);
    EXPECT_EQ(c.send(bytes.data(), 60), 0);
    EXPECT_EQ(c.sendFree(), 40);
    EXPECT_EQ(c.send(bytes.data(), 41), -1); // refused whole
    EXPECT_EQ(c.sendFree(), 40);
    EXPECT_EQ(c.send(bytes.data(), 40), 0);
    EXPECT_EQ(c.sendFree(), 0);
    EXPECT_EQ(c.send(bytes.data(), 1), -1);
    EXPECT_EQ(c.sendString(""), 0);
    EXPECT_EQ(c.recvAvailable(), 0);
    EXPECT_EQ(c.peek(nullptr, 10), 0);
}

TEST(NetConnection, FailuresLeaveTheErrorStateWithTheirText)
{
    {
        NetConnection c(64, 64);
        c.connect("", 80);
        EXPECT_EQ(c.state(), NetState::Error);
        EXPECT_STREQ(c.errorText(), "empty hostname");
    }
    {
        NetConnection c(64, 64);
        c.connect("127.0.0.1", unusedPort());
        EXPECT_EQ(c.state(), NetState::Resolving);
        EXPECT_EQ(runUntilSettled(c), NetState::Error);
        EXPECT_STREQ(c.errorText(), "connecting to host");
    }
    {
        CountingLookup lookup;
        NetConnection c(64, 64, lookup.resolver("known.example"));
        c.connect("nowhere.example", 8000);
        EXPECT_EQ(runUntilSettled(c), NetState::Error);
        EXPECT_STREQ(c.errorText(), "resolving hostname");
        // The failure is cached: the next attempt fails in its first step.
        c.connect("nowhere.example", 8000);
        c.run(-1, -1);
        EXPECT_EQ(c.state(), NetState::Error);
        EXPECT_STREQ(c.errorText(), "resolving hostname");
        EXPECT_EQ(lookup.calls.load(), 1);
    }
}

TEST(NetConnection, NamesGoThroughTheResolverAndDottedAddressesDoNot)
{
    LoopbackPeer peer;
    CountingLookup lookup;
    NetConnection c(64, 64, lookup.resolver("stream.example"));
    c.connect("127.0.0.1", peer.port());
    EXPECT_EQ(runUntilSettled(c), NetState::Connected);
    EXPECT_EQ(lookup.calls.load(), 0);
    ASSERT_TRUE(peer.accept());

    LoopbackPeer second;
    c.connect("stream.example", second.port() + 65536); // the port keeps its low 16 bits
    EXPECT_EQ(c.port(), second.port());
    EXPECT_EQ(c.host(), "stream.example");
    EXPECT_EQ(runUntilSettled(c), NetState::Connected) << c.errorText();
    EXPECT_EQ(lookup.calls.load(), 1);
    ASSERT_TRUE(second.accept());
    ASSERT_EQ(c.sendString("hello"), 0);
    c.run(-1, -1);
    std::vector<uint8_t> got = second.receive(5);
    EXPECT_EQ(std::string(got.begin(), got.end()), "hello");
}

TEST(NetConnection, SendRingWrapsWithinOneRun)
{
    LoopbackPeer peer;
    auto c = connected(peer, 16, 16);
    std::vector<uint8_t> first = patternBytes(10, 1);
    std::vector<uint8_t> second = patternBytes(12, 50);
    ASSERT_EQ(c->send(first.data(), 10), 0);
    int sent = -1, received = -1;
    c->run(-1, -1, &sent, &received);
    EXPECT_EQ(sent, 10);
    EXPECT_EQ(received, 0);
    EXPECT_EQ(peer.receive(10), first);

    ASSERT_EQ(c->send(second.data(), 12), 0); // 6 bytes at the end, 6 at the start
    c->run(-1, -1, &sent, nullptr);
    EXPECT_EQ(sent, 12);
    EXPECT_EQ(c->sendFree(), 16);
    EXPECT_EQ(peer.receive(12), second);

    // A limit stops the second send early.
    ASSERT_EQ(c->send(first.data(), 10), 0);
    c->run(3, -1, &sent, nullptr);
    EXPECT_EQ(sent, 3);
    c->run(-1, -1, &sent, nullptr);
    EXPECT_EQ(sent, 7);
    EXPECT_EQ(peer.receive(10), first);
}

TEST(NetConnection, ReceiveRingWrapsAndKeepsByteOrder)
{
    LoopbackPeer peer;
    auto c = connected(peer, 16, 16);
    std::vector<uint8_t> first = patternBytes(10, 3);
    std::vector<uint8_t> second = patternBytes(12, 90);
    peer.send(first);
    runUntilReceived(*c, 10);
    uint8_t buffer[16];
    ASSERT_EQ(c->read(buffer, 6), 6);
    EXPECT_EQ(0, std::memcmp(buffer, first.data(), 6));

    peer.send(second); // fills the 6 bytes at the end and 6 at the start
    runUntilReceived(*c, 16);
    ASSERT_EQ(c->peek(buffer, 100), 16);
    EXPECT_EQ(0, std::memcmp(buffer, first.data() + 6, 4));
    EXPECT_EQ(0, std::memcmp(buffer + 4, second.data(), 12));
    EXPECT_EQ(c->recvAvailable(), 16); // peek consumes nothing

    // A full ring receives nothing more until it is read.
    peer.send(patternBytes(4));
    int received = -1;
    c->run(-1, -1, nullptr, &received);
    EXPECT_EQ(received, 0);
    ASSERT_EQ(c->read(buffer, 16), 16);
    EXPECT_EQ(0, std::memcmp(buffer + 4, second.data(), 12));
    runUntilReceived(*c, 4);
    EXPECT_EQ(c->state(), NetState::Connected);
}

TEST(NetConnection, CloseWithoutForceSendsWhatIsQueuedFirst)
{
    LoopbackPeer peer;
    auto c = connected(peer, 65536, 1024);
    std::vector<uint8_t> bytes = patternBytes(60000, 7);
    ASSERT_EQ(c->send(bytes.data(), int(bytes.size())), 0);
    c->close(false);
    EXPECT_EQ(c->state(), NetState::Closing);
    std::thread reader([&] { EXPECT_EQ(peer.receiveToEnd(), bytes); });
    for (int i = 0; i < 100000 && c->state() == NetState::Closing; ++i) {
        c->run(-1, -1);
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    EXPECT_EQ(c->state(), NetState::Closed);
    reader.join(); // the peer saw the end of the stream after every byte

    // Without force, a connection that is not connected stays as it is.
    NetConnection idle(16, 16);
    idle.close(false);
    EXPECT_EQ(idle.state(), NetState::Created);
}

TEST(NetConnection, PeerClosingIsNoticedAndUnreadBytesStay)
{
    LoopbackPeer peer;
    auto c = connected(peer, 64, 64);
    peer.send(patternBytes(5));
    peer.closePeer();
    for (int i = 0; i < 100000 && c->state() == NetState::Connected; ++i) {
        c->run(-1, -1);
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    EXPECT_EQ(c->state(), NetState::Closed);
    EXPECT_EQ(c->recvAvailable(), 5);
    // Sending into a closed connection is harmless.
    ASSERT_EQ(c->sendString("late"), 0);
    c->run(-1, -1);
    EXPECT_EQ(c->state(), NetState::Closed);
}

TEST(NetConnection, ForcedCloseEmptiesEverything)
{
    LoopbackPeer peer;
    auto c = connected(peer, 64, 64);
    peer.send(patternBytes(3));
    runUntilReceived(*c, 3);
    ASSERT_EQ(c->sendString("queued"), 0);
    c->close(true);
    EXPECT_EQ(c->state(), NetState::Closed);
    EXPECT_EQ(c->sendFree(), 64);
    EXPECT_EQ(c->recvAvailable(), 0);
    EXPECT_EQ(c->port(), 0);
    EXPECT_EQ(c->host(), "");
    EXPECT_EQ(peer.receiveToEnd().size(), 0u); // the queued bytes never left
    c->run(-1, -1);
    EXPECT_EQ(c->state(), NetState::Closed);
}
