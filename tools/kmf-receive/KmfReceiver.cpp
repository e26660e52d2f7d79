#include "tools/kmf-receive/KmfReceiver.h"

#include "net/BroxMessage.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace moxel {

namespace {

uint64_t nowMs()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void writeAllTo(int fd, const void* bytes, size_t n)
{
    const char* p = static_cast<const char*>(bytes);
    while (fd >= 0 && n > 0) {
        ssize_t r = ::write(fd, p, n);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return;
        p += r;
        n -= size_t(r);
    }
}

int openOut(const std::string& path)
{
    if (path.empty())
        return -1;
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

std::string textOf(const std::vector<uint8_t>& payload)
{
    std::string text(payload.begin(), payload.end());
    if (size_t nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    return text;
}

} // namespace

KmfReceiver::~KmfReceiver()
{
    stop();
}

bool KmfReceiver::start(const ReceiverOptions& options, std::string* error)
{
    auto failed = [&](const std::string& what) {
        if (error)
            *error = what + ": " + std::strerror(errno);
        stop();
        return false;
    };
    stop();
    m_options = options;
    m_stalled.store(options.stall);
    m_dropAfter.store(options.dropAfter);
    m_stopRequest.store(false);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0)
        return failed("cannot create a pipe");
    m_wakeRead = pipeFds[0];
    m_wakeWrite = pipeFds[1];

    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0)
        return failed("cannot create a socket");
    int on = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (options.receiveBuffer > 0)
        ::setsockopt(m_listen, SOL_SOCKET, SO_RCVBUF, &options.receiveBuffer,
                     sizeof options.receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(options.port));
    if (inet_pton(AF_INET, options.bindAddress.c_str(), &address.sin_addr) != 1) {
        errno = EINVAL;
        return failed("not an IPv4 address: " + options.bindAddress);
    }
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return failed("cannot listen on port " + std::to_string(options.port));
    if (::listen(m_listen, 8) != 0)
        return failed("cannot listen");
    socklen_t length = sizeof address;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);

    m_headerFd = openOut(options.headerFile);
    if (!options.headerFile.empty() && m_headerFd < 0)
        return failed("cannot write " + options.headerFile);
    m_dataFd = openOut(options.dataFile);
    if (!options.dataFile.empty() && m_dataFd < 0)
        return failed("cannot write " + options.dataFile);

    m_thread = std::thread([this] { serve(); });
    return true;
}

void KmfReceiver::stop()
{
    m_stopRequest.store(true);
    wake();
    if (m_thread.joinable())
        m_thread.join();
    for (Client& c : m_clients)
        if (c.fd >= 0)
            ::close(c.fd);
    m_clients.clear();
    for (int* fd : {&m_listen, &m_wakeRead, &m_wakeWrite, &m_headerFd, &m_dataFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void KmfReceiver::wake()
{
    if (m_wakeWrite >= 0) {
        char b = 1;
        [[maybe_unused]] ssize_t r = ::write(m_wakeWrite, &b, 1);
    }
}

size_t KmfReceiver::connectionCount() const
{
    std::lock_guard lock(m_lock);
    return m_streams.size();
}

size_t KmfReceiver::closedCount() const
{
    std::lock_guard lock(m_lock);
    return size_t(std::count_if(m_streams.begin(), m_streams.end(),
                                [](const ReceivedStream& s) { return s.closed; }));
}

ReceivedStream KmfReceiver::stream(size_t index) const
{
    std::lock_guard lock(m_lock);
    return index < m_streams.size() ? m_streams[index] : ReceivedStream{};
}

std::vector<ReceivedStream> KmfReceiver::streams() const
{
    std::lock_guard lock(m_lock);
    return m_streams;
}

void KmfReceiver::serve()
{
    std::vector<pollfd> fds;
    while (!m_stopRequest.load()) {
        if (m_dropAllRequest.exchange(false))
            for (Client& c : m_clients)
                closeClient(c);
        std::erase_if(m_clients, [](const Client& c) { return c.fd < 0; });

        uint64_t now = nowMs();
        int timeout = -1;
        bool stalled = m_stalled.load();
        fds.clear();
        fds.push_back({m_wakeRead, POLLIN, 0});
        fds.push_back({m_listen, POLLIN, 0});
        for (Client& c : m_clients) {
            short events = 0;
            if (!stalled) {
                if (c.nextReadMs > now)
                    timeout =
                        std::min<int>(timeout < 0 ? INT32_MAX : timeout, int(c.nextReadMs - now));
                else
                    events = POLLIN;
            }
            fds.push_back({c.fd, events, 0});
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(m_wakeRead, drain, sizeof drain) > 0) {
            }
        }
        if (fds[1].revents & POLLIN)
            acceptClient();
        for (size_t i = 0; i + 2 < fds.size() && i < m_clients.size(); ++i) {
            if (fds[i + 2].revents & (POLLIN | POLLHUP | POLLERR))
                if (!readClient(m_clients[i]))
                    closeClient(m_clients[i]);
        }
    }
}

void KmfReceiver::acceptClient()
{
    int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    Client c;
    c.fd = fd;
    c.dropAfter = m_dropAfter.load();
    {
        std::lock_guard lock(m_lock);
        c.index = m_streams.size();
        m_streams.emplace_back();
    }
    if (!m_options.greeting.empty()) [[maybe_unused]]
        ssize_t r = ::send(fd, m_options.greeting.data(), m_options.greeting.size(), MSG_NOSIGNAL);
    m_clients.push_back(std::move(c));
}

void KmfReceiver::closeClient(Client& client)
{
    if (client.fd < 0)
        return;
    ::close(client.fd);
    client.fd = -1;
    std::lock_guard lock(m_lock);
    m_streams[client.index].closed = true;
}

bool KmfReceiver::readClient(Client& client)
{
    uint8_t buffer[65536];
    size_t want = sizeof buffer;
    if (m_options.readChunk > 0)
        want = std::min(want, m_options.readChunk);
    size_t received;
    {
        std::lock_guard lock(m_lock);
        received = m_streams[client.index].bytesReceived;
    }
    if (client.dropAfter > 0)
        want = std::min(want, client.dropAfter - std::min(client.dropAfter, received));
    if (want == 0)
        return false;
    ssize_t n = ::recv(client.fd, buffer, want, 0);
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (n == 0)
        return false;
    m_totalBytes.fetch_add(size_t(n));
    bool keepGoing = true;
    {
        std::lock_guard lock(m_lock);
        ReceivedStream& s = m_streams[client.index];
        s.bytesReceived += size_t(n);
        if (m_options.keepBytes)
            s.raw.insert(s.raw.end(), buffer, buffer + n);
        // Past a qz header everything is frame bytes: no need to collect them first.
        if (m_options.protocol == ReceiveProtocol::Qz && s.headerComplete &&
            client.pending.empty()) {
            appendData(s, buffer, size_t(n));
        } else {
            client.pending.insert(client.pending.end(), buffer, buffer + n);
            takeApart(client, s);
        }
        if (client.dropAfter > 0 && s.bytesReceived >= client.dropAfter)
            keepGoing = false;
    }
    if (m_options.readChunk > 0)
        client.nextReadMs = nowMs() + uint64_t(std::max(m_options.readPauseMs, 0));
    return keepGoing;
}

void KmfReceiver::takeApart(Client& client, ReceivedStream& s)
{
    if (m_options.protocol == ReceiveProtocol::Qz)
        takeApartQz(client, s);
    else
        takeApartBrox(client, s);
}

void KmfReceiver::appendData(ReceivedStream& s, const uint8_t* bytes, size_t n)
{
    s.dataBytes += n;
    if (m_options.keepBytes)
        s.data.insert(s.data.end(), bytes, bytes + n);
    writeAllTo(m_dataFd, bytes, n);
}

void KmfReceiver::appendHeaderLine(ReceivedStream& s, const std::string& line)
{
    s.headerLines.push_back(line);
    std::string out = line + "\n";
    writeAllTo(m_headerFd, out.data(), out.size());
}

void KmfReceiver::takeApartQz(Client& client, ReceivedStream& s)
{
    std::vector<uint8_t>& p = client.pending;
    size_t used = 0;
    while (!s.headerComplete) {
        auto begin = p.begin() + std::ptrdiff_t(used);
        auto end = std::search(begin, p.end(), "\r\n", "\r\n" + 2);
        if (end == p.end())
            break;
        std::string line(begin, end);
        used = size_t(end - p.begin()) + 2;
        if (line.empty())
            s.headerComplete = true;
        else
            appendHeaderLine(s, line);
    }
    if (s.headerComplete && used < p.size()) {
        appendData(s, p.data() + used, p.size() - used);
        used = p.size();
    }
    p.erase(p.begin(), p.begin() + std::ptrdiff_t(used));
}

void KmfReceiver::takeApartBrox(Client& client, ReceivedStream& s)
{
    std::vector<uint8_t>& p = client.pending;
    size_t at = 0;
    while (p.size() - at >= kBroxHeaderSize) {
        BroxMessageHeader h;
        if (!parseBroxHeader(p.data() + at, &h)) {
            ++s.garbledBytes;
            ++at;
            continue;
        }
        if (p.size() - at < h.length + kBroxOverhead)
            break;
        const uint8_t* payload = p.data() + at + kBroxHeaderSize;
        if (h.field == kBroxData) {
            ++s.dataMessages;
            appendData(s, payload, h.length);
        } else {
            BroxReceived m;
            m.second = h.second;
            m.field = h.field;
            m.payload.assign(payload, payload + h.length);
            if (h.field == kBroxHeaderLine1 || h.field == kBroxHeaderLine2)
                appendHeaderLine(s, textOf(m.payload));
            if (h.field == kBroxHeaderEnd)
                s.headerComplete = true;
            s.messages.push_back(std::move(m));
        }
        at += h.length + kBroxOverhead;
    }
    p.erase(p.begin(), p.begin() + std::ptrdiff_t(at));
}

} // namespace moxel
