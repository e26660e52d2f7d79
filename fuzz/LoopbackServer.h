// The server end of the stream output for the fuzz targets that drive it: a
// listening socket on 127.0.0.1 with a port the system picks, kept for the
// whole process, and one accepted connection at a time.
//
// Everything is single-threaded and never blocks: each waiting call runs the
// step it is given (which pumps the stream output) between its attempts, and
// gives up after a few seconds, which the targets treat as a hang.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace moxel::fuzz {

using PumpStep = std::function<void()>;

class LoopbackServer {
  public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return m_port; }

    // Closes the connection held, then waits for the next one.
    bool accept(const PumpStep& step);
    // Appends to out until it holds n bytes; false when the client closes or
    // the time runs out first.
    bool receive(std::string& out, size_t n, const PumpStep& step);
    // Whatever has arrived and can be read at once.
    std::string receiveAvailable();
    // Sends every byte, pumping while the socket is full.
    bool send(const uint8_t* bytes, size_t length, const PumpStep& step);
    // Tells the client nothing more comes (it sees the end of the stream).
    void shutdownWrite();
    void closePeer();

  private:
    int m_listen = -1;
    int m_peer = -1;
    int m_port = 0;
};

// The process's server, made on first use.
LoopbackServer& loopbackServer();

} // namespace moxel::fuzz
