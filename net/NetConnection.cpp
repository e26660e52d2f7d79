#include "net/NetConnection.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace moxel {

namespace {

bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

} // namespace

NetConnection::NetConnection(int sendSize, int recvSize, std::unique_ptr<AsyncResolver> resolver)
    : m_recv(size_t(std::max(recvSize, 0))), m_send(size_t(std::max(sendSize, 0))),
      m_resolver(resolver ? std::move(resolver)
                          : std::make_unique<AsyncResolver>(kConnectionResolverSlots))
{
    m_address.sin_addr.s_addr = kNoAddress;
}

NetConnection::~NetConnection()
{
    closeSocket();
}

void NetConnection::fail(const char* text)
{
    m_errorText = text;
    m_state = NetState::Error;
}

void NetConnection::closeSocket()
{
    if (m_socket < 0)
        return;
    ::shutdown(m_socket, SHUT_RDWR);
    ::close(m_socket);
    m_socket = -1;
}

void NetConnection::enterClosed()
{
    m_state = NetState::Closed;
    closeSocket();
}

void NetConnection::fullClose()
{
    m_state = NetState::Closed;
    closeSocket();
    m_recv.clear();
    m_send.clear();
    m_port = 0;
    m_host.clear();
    m_address = sockaddr_in{};
    m_address.sin_addr.s_addr = kNoAddress;
}

void NetConnection::connect(const char* host, int port)
{
    close(true);
    m_port = port & 0xFFFF;
    m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_socket < 0) {
        fail("creating socket");
        return;
    }
    // A name longer than the field would be a different host: refuse it
    // rather than cut it (the resolver refuses it too).
    m_host = host ? std::string(host, strnlen(host, kResolverNameMax + 1)) : std::string();
    if (m_host.empty()) {
        fail("empty hostname");
        return;
    }
    m_address = sockaddr_in{};
    m_address.sin_family = AF_INET;
    m_address.sin_port = htons(uint16_t(m_port));
    m_address.sin_addr.s_addr = parseDottedIPv4(m_host.c_str());
    m_state = NetState::Resolving;
}

void NetConnection::close(bool force)
{
    if (force || m_state == NetState::Resolving || m_state == NetState::Connecting)
        fullClose();
    else if (m_state == NetState::Connected)
        m_state = NetState::Closing;
}

void NetConnection::waitReady(int timeoutMs) const
{
    short events = 0;
    if (m_state == NetState::Connecting)
        events = POLLOUT;
    else if (m_state == NetState::Connected || m_state == NetState::Closing)
        events = short((m_send.count() > 0 ? POLLOUT : 0) | (m_recv.space() > 0 ? POLLIN : 0));
    pollfd p{m_socket, events, 0};
    ::poll(&p, events != 0 && m_socket >= 0 ? 1 : 0, std::max(timeoutMs, 0));
}

int NetConnection::send(const void* bytes, int n)
{
    if (n < 0 || n > sendFree())
        return -1;
    m_send.push(static_cast<const uint8_t*>(bytes), size_t(n));
    return 0;
}

int NetConnection::sendString(const char* text)
{
    return send(text, int(std::strlen(text)));
}

int NetConnection::peek(void* buffer, int n) const
{
    return int(m_recv.peek(static_cast<uint8_t*>(buffer), size_t(std::max(n, 0))));
}

int NetConnection::read(void* buffer, int n)
{
    int got = peek(buffer, n);
    m_recv.consume(size_t(got));
    return got;
}

void NetConnection::run(int maxSend, int maxRecv, int* sent, int* received)
{
    if (sent)
        *sent = 0;
    if (received)
        *received = 0;
    if (maxSend < 0)
        maxSend = int(m_send.size());
    if (maxRecv < 0)
        maxRecv = int(m_recv.size());
    switch (m_state) {
    case NetState::Resolving:
        startConnect();
        break;
    case NetState::Connecting:
        pollConnect();
        break;
    case NetState::Connected:
    case NetState::Closing:
        transfer(maxSend, maxRecv, sent, received);
        break;
    default:
        break;
    }
}

void NetConnection::startConnect()
{
    if (m_address.sin_addr.s_addr == kNoAddress) {
        uint32_t address = kNoAddress;
        int r = m_resolver->resolve(m_host.c_str(), &address);
        if (r == 1)
            return;
        if (r < 0) {
            fail("resolving hostname");
            return;
        }
        m_address.sin_addr.s_addr = address;
        m_state = NetState::Connecting;
    }
    int r = ::connect(m_socket, reinterpret_cast<const sockaddr*>(&m_address), sizeof m_address);
    if (r == 0)
        m_state = NetState::Connected;
    else if (errno == EINPROGRESS || errno == EINTR)
        m_state = NetState::Connecting;
    else
        fail("connecting to host");
}

void NetConnection::pollConnect()
{
    pollfd p{m_socket, POLLOUT, 0};
    int r = ::poll(&p, 1, 0);
    if (r < 0) {
        if (errno == EINTR)
            return;
        fail("connecting to host (calling select())");
        return;
    }
    if (r == 0)
        return;
    // A refused connect shows as writable with an error pending, so the error
    // is looked at before the writability.
    int error = 0;
    socklen_t length = sizeof error;
    if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) ||
        getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        fail("connecting to host");
        return;
    }
    if (p.revents & POLLOUT)
        m_state = NetState::Connected;
}

int NetConnection::sendOnce(int limit)
{
    size_t span = 0;
    const uint8_t* from = m_send.readSpan(&span);
    size_t n = std::min(span, size_t(limit));
    if (n == 0)
        return 0;
    // MSG_NOSIGNAL: a peer that has gone must not end the program.
    ssize_t r = ::send(m_socket, from, n, MSG_NOSIGNAL);
    if (r <= 0)
        return 0;
    m_send.consume(size_t(r));
    return int(r);
}

int NetConnection::receiveOnce(int limit)
{
    size_t span = 0;
    uint8_t* into = m_recv.writeSpan(&span);
    size_t n = std::min(span, size_t(limit));
    if (n == 0)
        return 0;
    ssize_t r = ::recv(m_socket, into, n, 0);
    if (r == 0)
        return -1;
    if (r < 0)
        return wouldBlock(errno) ? 0 : -1;
    m_recv.commit(size_t(r));
    return int(r);
}

void NetConnection::transfer(int maxSend, int maxRecv, int* sent, int* received)
{
    int sentNow = 0;
    if (m_send.count() >= 1 && maxSend >= 1) {
        bool atEnd = m_send.readPos() + m_send.count() > m_send.size();
        int n = sendOnce(maxSend);
        sentNow += n;
        // The queued bytes ran across the end of the ring: the rest follows
        // from its start in the same step.
        if (atEnd && n > 0 && m_send.readPos() == 0 && m_send.count() > 0 && maxSend - n > 0)
            sentNow += sendOnce(maxSend - n);
    }
    if (sent)
        *sent = sentNow;

    int receivedNow = 0;
    if (m_recv.count() < m_recv.size() && maxRecv >= 1) {
        bool toEnd = m_recv.writePos() + m_recv.space() > m_recv.size();
        int n = receiveOnce(maxRecv);
        if (n < 0) {
            enterClosed();
            return;
        }
        receivedNow += n;
        if (toEnd && n > 0 && m_recv.writePos() == 0 && m_recv.space() > 0 && maxRecv - n > 0) {
            int more = receiveOnce(maxRecv - n);
            if (more < 0) {
                if (received)
                    *received = receivedNow;
                enterClosed();
                return;
            }
            receivedNow += more;
        }
    }
    if (received)
        *received = receivedNow;

    if (m_state == NetState::Closing && m_send.count() < 1)
        enterClosed();
}

} // namespace moxel
