// Live output of an encoder's frames to a stream server ("qz:" or "brox:"
// destinations): the header file, the connection, the send backlog and the
// reconnect rule. Used only by KmfEncoder on the job's worker thread.
//
// Destination: qz:HOST:PORT:HEADERFILE[+COPYFILE] or brox:... . qz sends the
// header lines (each with CR LF, closed by an empty line) and then the raw
// frame bytes; brox wraps the header lines and 8192-byte pieces of the frame
// bytes in messages. Nothing here ever waits for the network: frames queue up
// to a 1 MiB backlog and are left out of the stream beyond it, and a lost
// connection is tried again at most every 10 s, with the header sent again.
// Network trouble is never reported to the caller; it shows in the
// diagnostic log and in the counters below.
#pragma once

#include "base/DiagnosticSink.h"
#include "container/KmfFrameGather.h"
#include "net/Clock.h"
#include "net/NetConnection.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace moxel {

// True when the destination names a stream rather than a file.
bool isStreamDestination(const char* destination);

enum class StreamProtocol { Qz = 0, Brox = 1 };

inline constexpr int kStreamRingSize = 65536;
inline constexpr size_t kStreamBacklogLimit =
    1048576; // unsent bytes beyond which frames are left out
inline constexpr uint64_t kStreamReconnectMs = 10000;
inline constexpr size_t kStreamHeaderLineMax = 511;

// Receives diagnostic lines ("[qz] ...", "[brox] ...") each on a line of its
// own ("\n[qz] ...\n"); without one they go to the diagnostic sink.
using StreamLog = std::function<void(const std::string& text)>;

class StreamOutput {
  public:
    // A null resolver gives the connection its own 64-slot one.
    explicit StreamOutput(Clock& clock = steadyClock(), StreamLog log = nullptr,
                          std::unique_ptr<AsyncResolver> resolver = nullptr);
    ~StreamOutput(); // closes the connection; what is still queued is lost
    StreamOutput(const StreamOutput&) = delete;
    StreamOutput& operator=(const StreamOutput&) = delete;

    // Parses the destination, reads the stream header file and starts the
    // connection. Returns null on success, otherwise one of the encoder's fixed
    // "openOutput: ..." messages. copyFile receives the local copy path named
    // after '+', or stays empty.
    const char* open(const char* destination, std::string& copyFile);

    // Hands one serialised frame to the server without ever waiting: queue,
    // pump, reconnect, read server messages.
    void sendFrame(const uint8_t* bytes, size_t length);
    // The same for a frame given as ranges (KmfFrameGather), in order.
    void sendFrame(const KmfByteRange* ranges, size_t count);

    StreamProtocol protocol() const { return m_protocol; }
    const std::string& serverHost() const { return m_serverHost; }
    int serverPort() const { return m_serverPort; }
    const NetConnection* connection() const { return m_connection.get(); }
    // Bytes queued and not yet handed to the connection.
    size_t unsentBytes() const { return m_sendQueue.size() - m_sendOffset; }
    uint64_t framesQueued() const { return m_framesQueued; }
    uint64_t framesDropped() const { return m_framesDropped; }
    uint64_t reconnects() const { return m_reconnects; }

  private:
    const char* readHeaderFile(const std::string& path);
    // Queues the header as it is sent after a reconnect (qz: kept lines only).
    void queueStoredHeader();
    void queueBroxHeaderLine(size_t index);
    void queueBroxMessage(uint16_t field, const void* payload, size_t length);
    void appendToQueue(const uint8_t* bytes, size_t length);
    // Hands bytes to the connection as far as it has room, running it before
    // each piece; returns how many were handed over. Never waits.
    size_t pump(const uint8_t* bytes, size_t length);
    void reconnectWhenDue();
    void readServerMessages();
    // One line without line breaks, for the log or the diagnostic sink.
    void log(DiagnosticLevel level, const std::string& line) const;
    const char* protocolTag() const { return m_protocol == StreamProtocol::Qz ? "[qz]" : "[brox]"; }

    Clock& m_clock;
    StreamLog m_log;
    std::unique_ptr<AsyncResolver> m_resolver; // handed to the connection at open
    std::unique_ptr<NetConnection> m_connection;
    StreamProtocol m_protocol = StreamProtocol::Brox;
    std::string m_serverHost;
    int m_serverPort = 0;
    std::string m_qzHeader;               // kept lines, each with its CR LF
    std::vector<std::string> m_broxLines; // every header line
    uint64_t m_lastConnectMs = 0;
    std::vector<uint8_t> m_sendQueue; // frames; the unsent part starts at m_sendOffset
    size_t m_sendOffset = 0;
    std::vector<uint8_t> m_message; // header and trailer of one brox message
    uint64_t m_framesQueued = 0;
    uint64_t m_framesDropped = 0;
    uint64_t m_reconnects = 0;
};

} // namespace moxel
