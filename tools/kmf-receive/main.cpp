// kmf-receive: a small stream server for trying a live set-up. Listens on a
// port, takes the encoder's qz or brox stream apart, and writes the header
// lines and the frame bytes it got to files. Runs until interrupted.
#include "tools/kmf-receive/KmfReceiver.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <poll.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int)
{
    g_stop = 1;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Receives a live KMF stream (qz or brox) and stores what it gets."};
    moxel::ReceiverOptions options;
    options.bindAddress = "0.0.0.0";
    options.keepBytes = false;
    std::string protocol = "qz";
    app.add_option("-p,--port", options.port, "port to listen on")->required();
    app.add_option("--protocol", protocol, "qz or brox")->check(CLI::IsMember({"qz", "brox"}));
    app.add_option("--bind", options.bindAddress, "IPv4 address to listen on");
    app.add_option("--header-out", options.headerFile, "file for the header lines received");
    app.add_option("--data-out", options.dataFile, "file for the frame bytes received");
    app.add_flag("--stall", options.stall, "accept connections but never read from them");
    app.add_option("--read-chunk", options.readChunk, "read at most this many bytes at a time");
    app.add_option("--read-pause-ms", options.readPauseMs,
                   "pause between reads (with --read-chunk)");
    app.add_option("--drop-after", options.dropAfter,
                   "close each connection after this many bytes");
    CLI11_PARSE(app, argc, argv);
    options.protocol =
        protocol == "brox" ? moxel::ReceiveProtocol::Brox : moxel::ReceiveProtocol::Qz;

    moxel::KmfReceiver receiver;
    std::string error;
    if (!receiver.start(options, &error)) {
        std::fprintf(stderr, "kmf-receive: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::printf("kmf-receive: listening on %s:%d (%s)\n", options.bindAddress.c_str(),
                receiver.port(), protocol.c_str());
    std::fflush(stdout);

    size_t reported = 0;
    while (!g_stop) {
        ::poll(nullptr, 0, 200);
        size_t connections = receiver.connectionCount();
        for (; reported < connections; ++reported)
            std::printf("kmf-receive: connection %zu\n", reported + 1);
        std::fflush(stdout);
    }
    receiver.stop();
    for (const moxel::ReceivedStream& s : receiver.streams())
        std::printf("kmf-receive: %zu bytes, %zu header lines, %zu frame bytes%s\n",
                    s.bytesReceived, s.headerLines.size(), s.dataBytes,
                    s.garbledBytes ? " (garbled bytes skipped)" : "");
    return 0;
}
