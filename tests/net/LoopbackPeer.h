// The far end of a connection for the connection tests: a listening socket
// on 127.0.0.1 with a port the system picks, and the accepted socket, driven
// by the test itself with plain blocking calls.
#pragma once

#include "net/NetConnection.h"

#include <cstdint>
#include <string>
#include <vector>

namespace moxel::test {

class LoopbackPeer {
  public:
    LoopbackPeer();
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    int port() const { return m_port; }
    // Waits for the connection's connect and accepts it.
    bool accept();
    void send(const std::vector<uint8_t>& bytes);
    // Blocks until n bytes have arrived (fewer when the connection ends first).
    std::vector<uint8_t> receive(size_t n);
    // Everything until the connection ends.
    std::vector<uint8_t> receiveToEnd();
    void closePeer();

  private:
    int m_listen = -1;
    int m_peer = -1;
    int m_port = 0;
};

// A port on 127.0.0.1 where nothing listens.
int unusedPort();

// Runs the connection until it leaves the lookup and connect states (bounded).
NetState runUntilSettled(NetConnection& c);

std::vector<uint8_t> patternBytes(size_t n, uint8_t seed = 0);

} // namespace moxel::test
