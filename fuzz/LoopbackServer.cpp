#include "fuzz/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace moxel::fuzz {

namespace {

constexpr auto kPatience = std::chrono::seconds(5);

[[noreturn]] void fail(const char* what)
{
    std::perror(what);
    std::abort();
}

// Calls attempt until it returns true or the time is up, pumping between.
template <typename Attempt> bool retry(const PumpStep& step, Attempt attempt)
{
    auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        if (attempt())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        step();
    }
}

} // namespace

LoopbackServer::LoopbackServer()
{
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listen < 0)
        fail("fuzz server: socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listen, 8) != 0)
        fail("fuzz server: bind and listen on 127.0.0.1");
    socklen_t length = sizeof address;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
}

LoopbackServer::~LoopbackServer()
{
    closePeer();
    ::close(m_listen);
}

bool LoopbackServer::accept(const PumpStep& step)
{
    closePeer();
    return retry(step, [this] {
        m_peer = ::accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        return m_peer >= 0;
    });
}

bool LoopbackServer::receive(std::string& out, size_t n, const PumpStep& step)
{
    bool ended = false;
    bool done = retry(step, [&] {
        while (out.size() < n) {
            char buffer[16384];
            ssize_t r = ::recv(m_peer, buffer, std::min(sizeof buffer, n - out.size()), 0);
            if (r > 0) {
                out.append(buffer, size_t(r));
                continue;
            }
            ended = r == 0 || (errno != EAGAIN && errno != EINTR);
            return ended;
        }
        return true;
    });
    return done && !ended;
}

std::string LoopbackServer::receiveAvailable()
{
    std::string out;
    char buffer[16384];
    ssize_t r;
    while ((r = ::recv(m_peer, buffer, sizeof buffer, 0)) > 0)
        out.append(buffer, size_t(r));
    return out;
}

bool LoopbackServer::send(const uint8_t* bytes, size_t length, const PumpStep& step)
{
    size_t done = 0;
    bool broken = false;
    retry(step, [&] {
        while (done < length) {
            ssize_t n = ::send(m_peer, bytes + done, length - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += size_t(n);
                continue;
            }
            broken = errno != EAGAIN && errno != EINTR;
            return broken;
        }
        return true;
    });
    return done == length && !broken;
}

void LoopbackServer::shutdownWrite()
{
    if (m_peer >= 0)
        ::shutdown(m_peer, SHUT_WR);
}

void LoopbackServer::closePeer()
{
    if (m_peer >= 0)
        ::close(m_peer);
    m_peer = -1;
}

LoopbackServer& loopbackServer()
{
    static LoopbackServer server;
    return server;
}

} // namespace moxel::fuzz
