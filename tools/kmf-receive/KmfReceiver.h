// The receiving side of a stream server, for trying a streaming set-up and
// for the stream tests: listens on a TCP port, accepts the encoder's
// connections one after another and takes either protocol apart — qz (header
// lines up to an empty line, then raw frame bytes) or brox (messages; header
// messages and 8192-byte data messages). It can be told to stall (accept but
// never read), to read slowly, or to drop each connection after N bytes.
//
// The server runs on a thread of its own; every accessor may be called from
// any thread and returns a copy taken under the receiver's lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace moxel {

enum class ReceiveProtocol { Qz, Brox };

struct ReceiverOptions {
    ReceiveProtocol protocol = ReceiveProtocol::Qz;
    std::string bindAddress = "127.0.0.1";
    int port = 0;                  // 0: the system picks one (see KmfReceiver::port)
    bool stall = false;            // accept connections but never read from them
    size_t readChunk = 0;          // > 0: read at most this many bytes at a time ...
    int readPauseMs = 0;           // ... and pause this long between reads
    size_t dropAfter = 0;          // > 0: close each connection after this many bytes
    int receiveBuffer = 0;         // > 0: socket receive buffer size of each connection
    std::vector<uint8_t> greeting; // sent to each client right after accepting it
    bool keepBytes = true;         // keep raw and data bytes in memory (off for long runs)
    std::string headerFile;        // when set: the header lines received, one per line
    std::string dataFile;          // when set: the frame bytes received
};

struct BroxReceived {
    uint8_t second = 0;
    uint16_t field = 0;
    std::vector<uint8_t> payload; // without the trailing 0x00
};

// What one connection brought.
struct ReceivedStream {
    std::vector<uint8_t> raw;             // every byte as it arrived
    std::vector<std::string> headerLines; // qz: lines without CR LF; brox: lines 1 and 2
    bool headerComplete = false;          // qz: empty line seen; brox: message (1, 4) seen
    std::vector<BroxReceived> messages;   // brox: all messages but the data ones
    size_t dataMessages = 0;              // brox: data messages (7, 0x777)
    std::vector<uint8_t> data;            // the frame bytes
    size_t bytesReceived = 0;
    size_t dataBytes = 0;
    size_t garbledBytes = 0; // brox: bytes skipped looking for a message start
    bool closed = false;     // by the client or by the drop rule
};

class KmfReceiver {
  public:
    KmfReceiver() = default;
    ~KmfReceiver(); // stop()
    KmfReceiver(const KmfReceiver&) = delete;
    KmfReceiver& operator=(const KmfReceiver&) = delete;

    // Listens and starts the server thread; false with *error set on failure.
    bool start(const ReceiverOptions& options, std::string* error = nullptr);
    void stop();
    int port() const { return m_port; }

    // Take effect at once (stall) or for connections accepted later (drop).
    void setStalled(bool stalled)
    {
        m_stalled.store(stalled);
        wake();
    }
    void setDropAfter(size_t bytes) { m_dropAfter.store(bytes); }
    // Closes every open connection now.
    void dropAll()
    {
        m_dropAllRequest.store(true);
        wake();
    }

    size_t connectionCount() const;
    size_t closedCount() const;
    size_t totalBytes() const { return m_totalBytes.load(); }
    ReceivedStream stream(size_t index) const;
    std::vector<ReceivedStream> streams() const;

  private:
    struct Client {
        int fd = -1;
        size_t index = 0; // into m_streams
        size_t dropAfter = 0;
        std::vector<uint8_t> pending; // bytes not yet taken apart
        uint64_t nextReadMs = 0;
    };

    void serve();
    void wake();
    void acceptClient();
    // false when the client is gone.
    bool readClient(Client& client);
    void closeClient(Client& client);
    void takeApart(Client& client, ReceivedStream& s);
    void takeApartQz(Client& client, ReceivedStream& s);
    void takeApartBrox(Client& client, ReceivedStream& s);
    void appendData(ReceivedStream& s, const uint8_t* bytes, size_t n);
    void appendHeaderLine(ReceivedStream& s, const std::string& line);

    ReceiverOptions m_options;
    int m_listen = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    int m_port = 0;
    int m_headerFd = -1;
    int m_dataFd = -1;
    std::thread m_thread;
    std::atomic<bool> m_stopRequest{false};
    std::atomic<bool> m_dropAllRequest{false};
    std::atomic<bool> m_stalled{false};
    std::atomic<size_t> m_dropAfter{0};
    std::atomic<size_t> m_totalBytes{0};
    std::vector<Client> m_clients; // server thread only

    mutable std::mutex m_lock; // guards m_streams
    std::vector<ReceivedStream> m_streams;
};

} // namespace moxel
