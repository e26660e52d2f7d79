// A non-blocking TCP client (IPv4) with a send ring and a receive ring. The
// owner queues outgoing bytes and takes incoming ones at any time; only run()
// touches the network, advancing the state machine one step and moving as
// many bytes as the socket takes or gives without waiting.
//
// Errors change only state() and errorText(); the owner decides whether to
// connect again. Send errors never change the state: a broken connection is
// noticed on the receive side. Used by one thread; only the resolver it owns
// runs a thread of its own.
#pragma once

#include "net/AsyncResolver.h"
#include "net/ByteRing.h"

#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <string>

namespace moxel {

enum class NetState : int {
    Error = 0,      // errorText() tells which step failed
    Created = 1,    // never connected
    Resolving = 2,  // target known; address lookup or connect still to start
    Connecting = 3, // connect in progress
    Connected = 4,
    Closing = 5, // queued bytes still go out, then the connection closes
    Closed = 6,  // by close(), by the peer, or after a receive error
};

inline constexpr int kConnectionResolverSlots = 64;

class NetConnection {
  public:
    // A null resolver makes one with kConnectionResolverSlots slots.
    NetConnection(int sendSize, int recvSize, std::unique_ptr<AsyncResolver> resolver = nullptr);
    ~NetConnection();
    NetConnection(const NetConnection&) = delete;
    NetConnection& operator=(const NetConnection&) = delete;

    // Closes (forced), then prepares a connection to host:port. No network
    // traffic happens here; run() resolves and connects.
    void connect(const char* host, int port);
    // One step. Negative limits mean the ring sizes. sent and received, when
    // given, receive the byte counts moved.
    void run(int maxSend, int maxRecv, int* sent = nullptr, int* received = nullptr);
    // force, or not yet connected: closes at once and empties both rings.
    // Otherwise, when connected, the queued bytes go out first.
    void close(bool force);
    // Waits at most timeoutMs until run() would have something to do: the
    // socket can take bytes while some are queued or a connect is under way,
    // or it has bytes for a receive ring with room. Moves no bytes. Without
    // anything to wait on (a name lookup, no socket) it just waits the time.
    void waitReady(int timeoutMs) const;

    int sendFree() const { return int(m_send.space()); }
    // 0, or -1 when n > sendFree() (then nothing is queued).
    int send(const void* bytes, int n);
    int sendString(const char* text);
    int recvAvailable() const { return int(m_recv.count()); }
    int peek(void* buffer, int n) const;
    int read(void* buffer, int n);

    NetState state() const { return m_state; }
    const char* errorText() const { return m_errorText; }
    int port() const { return m_port; }
    const std::string& host() const { return m_host; }
    int sendQueued() const { return int(m_send.count()); }

  private:
    void fail(const char* text);
    void fullClose();
    void closeSocket();
    // Closed by the peer, after a receive error, or once a closing connection
    // has sent everything: the socket goes, unread received bytes stay.
    void enterClosed();
    void startConnect();
    void pollConnect();
    void transfer(int maxSend, int maxRecv, int* sent, int* received);
    // One socket send from the send ring; returns bytes sent (0 on any error).
    int sendOnce(int limit);
    // One socket receive into the ring: >0 bytes, 0 would block, -1 closed or failed.
    int receiveOnce(int limit);

    int m_socket = -1;
    int m_port = 0;
    ByteRing m_recv;
    ByteRing m_send;
    sockaddr_in m_address{};
    std::string m_host;
    std::unique_ptr<AsyncResolver> m_resolver;
    NetState m_state = NetState::Created;
    const char* m_errorText = "";
};

} // namespace moxel
