// What became of a stream destination's frames: whether the server was ever
// reached, how many bytes and frames went out, and how many frames did not
// (left out when the server fell 1 MiB behind, cut short when a connection
// was dropped, or still queued when the stream was closed). Kept by
// StreamOutput as it goes; the encoder keeps a copy once it has closed, for
// the job's status text, its log and its report.
//
// Every frame handed to the stream ends up in exactly one of framesSent,
// framesDroppedBacklog, framesCut or framesDroppedAtClose once the stream is
// closed; before that, frames on their way are in none of them.
#pragma once

#include <cstdint>
#include <string>

namespace moxel {

struct StreamStats {
    std::string server;                // "host:port" as the destination names it
    bool connectedEver = false;        // a connection to the server was made at least once
    uint64_t reconnects = 0;           // connection attempts after the first
    uint64_t bytesSent = 0;            // every byte the sockets took: headers, framing and frames
    uint64_t framesSent = 0;           // frames whose every byte the socket took
    uint64_t framesDroppedBacklog = 0; // left out while 1 MiB or more waited
    uint64_t framesCut = 0;            // in part discarded when a connection was given up
    uint64_t framesDroppedAtClose = 0; // still waiting when the stream was closed

    // Frames the server did not get whole.
    uint64_t framesNotSent() const
    {
        return framesDroppedBacklog + framesCut + framesDroppedAtClose;
    }
    // The server never took a single byte.
    bool serverReachedNothing() const { return bytesSent == 0; }
};

} // namespace moxel
