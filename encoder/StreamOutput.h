// Live output of an encoder's frames to a stream server ("qz:" or "brox:"
// destinations): the header file, the connection, the send backlog and the
// reconnect rule. Used only by KmfEncoder on the job's worker thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace moxel {

// True when the destination names a stream rather than a file.
bool isStreamDestination(const char* destination);

class StreamOutput {
public:
    StreamOutput();
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
};

} // namespace moxel
