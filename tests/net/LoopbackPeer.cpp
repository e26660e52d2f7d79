#include "LoopbackPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace moxel::test {

namespace {

int listenOnLoopback(int* port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(::listen(fd, 4), 0);
    socklen_t length = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    *port = ntohs(a.sin_port);
    return fd;
}

} // namespace

LoopbackPeer::LoopbackPeer()
{
    m_listen = listenOnLoopback(&m_port);
}

LoopbackPeer::~LoopbackPeer()
{
    closePeer();
    if (m_listen >= 0)
        ::close(m_listen);
}

bool LoopbackPeer::accept()
{
    m_peer = ::accept(m_listen, nullptr, nullptr);
    return m_peer >= 0;
}

void LoopbackPeer::send(const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(m_peer, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        ASSERT_GT(n, 0);
        done += size_t(n);
    }
}

std::vector<uint8_t> LoopbackPeer::receive(size_t n)
{
    std::vector<uint8_t> got(n);
    size_t done = 0;
    while (done < n) {
        ssize_t r = ::recv(m_peer, got.data() + done, n - done, 0);
        if (r <= 0)
            break;
        done += size_t(r);
    }
    got.resize(done);
    return got;
}

std::vector<uint8_t> LoopbackPeer::receiveToEnd()
{
    std::vector<uint8_t> all;
    uint8_t buffer[65536];
    for (;;) {
        ssize_t r = ::recv(m_peer, buffer, sizeof buffer, 0);
        if (r <= 0)
            break;
        all.insert(all.end(), buffer, buffer + r);
    }
    return all;
}

void LoopbackPeer::closePeer()
{
    if (m_peer >= 0)
        ::close(m_peer);
    m_peer = -1;
}

int unusedPort()
{
    int port = 0;
    int fd = listenOnLoopback(&port);
    ::close(fd);
    return port;
}

NetState runUntilSettled(NetConnection& c)
{
    // Bounded, so a connection that never settles fails the test instead of hanging it.
    for (int i = 0; i < 100000; ++i) {
        NetState s = c.state();
        if (s != NetState::Resolving && s != NetState::Connecting)
            return s;
        c.run(-1, -1);
        std::this_thread::sleep_for(std::chrono::microseconds(i < 100 ? 0 : 100));
    }
    return c.state();
}

std::vector<uint8_t> patternBytes(size_t n, uint8_t seed)
{
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t(seed + i * 7 + i / 251);
    return b;
}

} // namespace moxel::test
