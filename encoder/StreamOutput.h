// Live output of an encoder's frames to a stream server ("qz:" or "brox:"
// destinations): the header file, the connection, the send backlog, the
// reconnect rule and the end of the stream. Used only by KmfEncoder on the
// job's worker thread.
//
// Destination: qz:HOST:PORT:HEADERFILE[+COPYFILE] or brox:... . qz sends the
// header lines (each with CR LF, closed by an empty line) and then the raw
// frame bytes; brox wraps the header lines and 8192-byte pieces of the frame
// bytes in messages. While frames come, nothing here waits for the network:
// frames queue up to a 1 MiB backlog and are left out of the stream beyond
// it, and a lost connection is tried again at most every 10 s, with the
// header sent again. finish() ends the stream: what still waits goes out
// within a bound of a few seconds (brox sends a last, shorter data message
// for the bytes short of 8192), the rest is dropped and counted.
//
// Network trouble is never reported to the caller as an error; it shows in
// the diagnostic lines ("[qz] ..." / "[brox] ...", through the diagnostic
// sink of the calling thread) and in stats().
#pragma once

#include "base/DiagnosticSink.h"
#include "container/KmfFrameGather.h"
#include "encoder/StreamStats.h"
#include "net/Clock.h"
#include "net/NetConnection.h"

#include <cstddef>
#include <cstdint>
#include <deque>
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
// How long finish() may spend sending what still waits, in all. Below the
// 3000 ms the desktop program waits for an aborted job's worker when it
// shuts down, so that the worker is through before the codec plug-ins go.
inline constexpr int kStreamFlushMs = 2000;

class StreamOutput {
  public:
    // A null resolver gives the connection its own 64-slot one.
    // clock paces the reconnects; the bound of finish() is real time.
    explicit StreamOutput(Clock& clock = steadyClock(),
                          std::unique_ptr<AsyncResolver> resolver = nullptr);
    // Closes the connection at once: without finish() what still waits is lost.
    ~StreamOutput();
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
    // Ends the stream: while a connection is being made or is up, sends what
    // still waits, waiting for the socket at most flushMs (real time) in
    // all; then closes the connection, counts the frames left over as
    // dropped at close and writes a closing line (a warning when frames were
    // not sent). Later calls, and frames after it, do nothing.
    void finish(int flushMs = kStreamFlushMs);

    StreamProtocol protocol() const { return m_protocol; }
    const std::string& serverHost() const { return m_serverHost; }
    int serverPort() const { return m_serverPort; }
    const NetConnection* connection() const { return m_connection.get(); }
    // Bytes queued and not yet handed to the connection.
    size_t unsentBytes() const { return m_sendQueue.size() - m_sendOffset; }
    uint64_t framesQueued() const { return m_framesQueued; }
    uint64_t framesDropped() const { return m_stats.framesDroppedBacklog; }
    uint64_t reconnects() const { return m_stats.reconnects; }
    const StreamStats& stats() const { return m_stats; }

  private:
    const char* readHeaderFile(const std::string& path);
    // Queues the header as it is sent after a reconnect (qz: kept lines only).
    void queueStoredHeader();
    void queueBroxHeaderLine(size_t index);
    // False (nothing queued) when the whole message does not fit.
    bool queueBroxMessage(uint16_t field, const void* payload, size_t length);
    void appendToQueue(const uint8_t* bytes, size_t length);
    // Hands bytes to the connection as far as it has room, running it before
    // each piece; returns how many were handed over. Never waits.
    size_t pump(const uint8_t* bytes, size_t length);
    // Runs the connection one step, counting what the socket took and
    // telling of a failed connect or a server that closed.
    void runConnection();
    // ringBytes were put in the connection's send ring, dataBytes of them
    // frame bytes (the rest header or message framing).
    void noteHanded(size_t ringBytes, size_t dataBytes);
    void noteSent(size_t ringBytes);
    // The connection is closed with its send ring: the frame bytes in it
    // never reach the server.
    void closeDiscardingRing();
    // Moves the frames whose last byte has gone (or been discarded) into
    // the counters.
    void settleFrames();
    void reconnectWhenDue();
    void readServerMessages();
    void logSummary();
    void log(DiagnosticLevel level, const std::string& line) const;
    const char* protocolTag() const { return m_protocol == StreamProtocol::Qz ? "[qz]" : "[brox]"; }

    // A piece of the connection's send ring; once all of it has gone, the
    // frame byte stream has gone up to dataEnd.
    struct RingPiece {
        size_t bytes;
        uint64_t dataEnd;
    };
    // A frame handed to the stream, [start, end) in the frame byte stream.
    struct PendingFrame {
        uint64_t start;
        uint64_t end;
        bool cut; // some of its bytes were discarded with a connection
    };

    Clock& m_clock;
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
    bool m_finishing = false;
    bool m_finished = false;
    NetState m_lastState = NetState::Created;
    // Positions in the stream of frame bytes (frames left out do not count):
    // queued so far, handed to the connection, and gone through the socket.
    uint64_t m_dataQueued = 0;
    uint64_t m_dataHanded = 0;
    uint64_t m_dataSent = 0;
    std::deque<RingPiece> m_ringPieces;
    size_t m_ringPieceSent = 0; // of the first piece
    std::deque<PendingFrame> m_pendingFrames;
    StreamStats m_stats;
};

} // namespace moxel
