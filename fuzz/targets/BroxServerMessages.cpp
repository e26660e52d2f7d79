// Whatever a brox server sends back, as the stream output reads it from its
// connection's receive side: every whole message (magic byte, 16-bit length,
// payload and trailer) is logged once, in order, with its payload as
// printable text; stray bytes, and message starts too long to ever fit the
// receive buffer, are skipped one at a time; nothing else is logged and the
// output keeps streaming.
#include "encoder/StreamOutput.h"
#include "fuzz/CollectedDiagnostics.h"
#include "fuzz/FuzzTarget.h"
#include "fuzz/LoopbackServer.h"
#include "fuzz/ScratchFolder.h"
#include "net/BroxMessage.h"

#include <cctype>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

using moxel::StreamOutput;

// The diagnostic lines a reader must write for these bytes.
std::vector<std::string> expectedLog(const uint8_t* data, size_t size)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (size - at >= moxel::kBroxHeaderSize) {
        const uint8_t* m = data + at;
        size_t length = size_t(m[4]) << 8 | m[5];
        if (m[0] != moxel::kBroxMagic ||
            length + moxel::kBroxOverhead > size_t(moxel::kStreamRingSize)) {
            ++at;
            continue;
        }
        if (size - at < length + moxel::kBroxOverhead)
            break; // never completed: it waits for the rest
        std::string text;
        for (size_t i = 0; i < length && m[6 + i] != 0; ++i)
            text += std::isprint(m[6 + i]) ? char(m[6 + i]) : '?';
        lines.push_back("[brox]Got msg: " + std::to_string(m[1]) + "," +
                        std::to_string(m[2] << 8 | m[3]) + "," + std::to_string(length) + ",'" +
                        text + "'");
        at += length + moxel::kBroxOverhead;
    }
    return lines;
}

void entry(const uint8_t* data, size_t size)
{
    static const std::string header = [] {
        std::string path = moxel::fuzz::scratchPath("brox-header.txt");
        const char text[] = "name: fuzz\ngenre: none\n";
        moxel::fuzz::writeScratch(path, reinterpret_cast<const uint8_t*>(text), sizeof text - 1);
        return path;
    }();
    moxel::fuzz::LoopbackServer& server = moxel::fuzz::loopbackServer();

    moxel::ManualClock clock; // never moves: no reconnect interferes
    moxel::fuzz::CollectedDiagnostics diagnostics;
    StreamOutput out(clock);
    std::string destination = "brox:127.0.0.1:" + std::to_string(server.port()) + ":" + header;
    std::string copyFile;
    MOXEL_FUZZ_CHECK(out.open(destination.c_str(), copyFile) == nullptr);

    const uint8_t frame = 0xF5;
    auto pump = [&] { out.sendFrame(&frame, 1); };
    MOXEL_FUZZ_CHECK(server.accept(pump));
    MOXEL_FUZZ_CHECK(server.send(data, size, pump));
    server.shutdownWrite();

    // The output reads at most one message per frame; go on until the end
    // of the stream has been seen and a frame no longer takes anything.
    const moxel::NetConnection& connection = *out.connection();
    size_t calls = 0;
    for (;;) {
        int before = connection.recvAvailable();
        bool ended = connection.state() == moxel::NetState::Closed;
        pump();
        if (ended && connection.recvAvailable() == before)
            break;
        MOXEL_FUZZ_CHECK(++calls < 4 * size + 100000);
    }
    server.closePeer();
    MOXEL_FUZZ_CHECK(diagnostics.lines(moxel::kBroxDiagnostics, "Got msg") ==
                     expectedLog(data, size));
    MOXEL_FUZZ_CHECK(out.framesDropped() == 0);
}

std::vector<std::string> seeds()
{
    auto message = [](int second, uint16_t field, std::string_view payload) {
        std::string m = {char(moxel::kBroxMagic),   char(second),
                         char(field >> 8),          char(field),
                         char(payload.size() >> 8), char(payload.size())};
        return m + std::string(payload) + '\0';
    };
    return {
        message(0, moxel::broxField(2, 1), "OK"),
        message(1, moxel::broxField(3, 7), std::string_view("a\0b", 3)) + "garbage" +
            message(0, moxel::broxField(1, 4), ""),
        std::string("\x5A\x00\xFF\xFF\xFF\xFF", 6) + message(0, 1, "after a start too long"),
        message(0, 5, "whole") + std::string("\x5A\x00\x00\x05\x00\x10short", 11),
    };
}

} // namespace

MOXEL_FUZZ_TARGET(entry, seeds);
