// The stream header file read from any bytes, for both protocols: open()
// accepts it exactly when every line up to the first empty one fits and
// the header fits the send buffer, and the server then receives those lines
// — on the first connection and again, the same way, after the server has
// dropped it and the output has reconnected.
#include "encoder/StreamOutput.h"
#include "fuzz/CollectedDiagnostics.h"
#include "fuzz/FuzzTarget.h"
#include "fuzz/LoopbackServer.h"
#include "fuzz/ScratchFolder.h"
#include "net/BroxMessage.h"

#include <string_view>
#include <vector>

namespace {

using moxel::StreamOutput;
using moxel::StreamProtocol;
using moxel::fuzz::LoopbackServer;

constexpr uint8_t kFrameByte = 0xF5;

struct ExpectedHeader {
    bool lineTooLong = false;
    std::vector<std::string> lines; // up to the first empty line
};

// The header lines as a reader of the file must see them: lines end at LF,
// one CR before it is dropped, an empty line or the end of the file ends the
// header.
ExpectedHeader expectedHeader(std::string_view text)
{
    ExpectedHeader header;
    while (!text.empty()) {
        size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break;
        if (line.size() > moxel::kStreamHeaderLineMax) {
            header.lineTooLong = true;
            break;
        }
        header.lines.emplace_back(line);
    }
    return header;
}

std::string qzHeader(const ExpectedHeader& header, bool afterReconnect)
{
    std::string text;
    for (const std::string& line : header.lines)
        if (!afterReconnect || line.rfind("icy-reset:", 0) != 0)
            text += line + "\r\n";
    return text + "\r\n";
}

std::string broxHeader(const ExpectedHeader& header)
{
    std::vector<uint8_t> bytes;
    auto message = [&](uint16_t field, std::string_view payload) {
        moxel::appendBroxMessage(bytes, field, payload.data(), payload.size());
    };
    for (size_t i = 0; i < header.lines.size() && i < 2; ++i) {
        const std::string& line = header.lines[i];
        message(i == 0 ? moxel::kBroxHeaderLine1 : moxel::kBroxHeaderLine2,
                std::string_view(line.c_str(), line.size() + 1));
        if (i == 1) {
            message(moxel::kBroxBufferInfo, std::string_view("512:256", 8));
            message(moxel::kBroxBlockInfo, std::string_view("8192:8192", 10));
        }
    }
    message(moxel::kBroxHeaderEnd, {});
    return std::string(bytes.begin(), bytes.end());
}

// Receives the header the output sends on the connection just accepted. On
// qz, whose frames follow as raw bytes, only frame bytes may come after it
// (brox wraps frames in data messages once 8192 bytes are queued).
void expectHeaderOnConnection(LoopbackServer& server, StreamProtocol protocol,
                              const std::string& header, const moxel::fuzz::PumpStep& pump)
{
    std::string got;
    MOXEL_FUZZ_CHECK(server.receive(got, header.size(), pump));
    MOXEL_FUZZ_CHECK(got == header);
    if (protocol == StreamProtocol::Qz)
        for (char c : server.receiveAvailable())
            MOXEL_FUZZ_CHECK(uint8_t(c) == kFrameByte);
}

void runProtocol(StreamProtocol protocol, const std::string& path, const ExpectedHeader& expected)
{
    LoopbackServer& server = moxel::fuzz::loopbackServer();
    moxel::ManualClock clock;
    moxel::fuzz::CollectedDiagnostics quiet; // the reconnect lines stay off the console
    StreamOutput out(clock);
    std::string destination = std::string(protocol == StreamProtocol::Qz ? "qz:" : "brox:") +
                              "127.0.0.1:" + std::to_string(server.port()) + ":" + path;
    std::string copyFile;
    const char* failure = out.open(destination.c_str(), copyFile);

    std::string first =
        protocol == StreamProtocol::Qz ? qzHeader(expected, false) : broxHeader(expected);
    if (expected.lineTooLong) {
        MOXEL_FUZZ_CHECK(failure &&
                         std::string_view(failure).find("line too long") != std::string_view::npos);
        return;
    }
    if (protocol == StreamProtocol::Qz && first.size() > size_t(moxel::kStreamRingSize)) {
        MOXEL_FUZZ_CHECK(failure &&
                         std::string_view(failure).find("does not fit") != std::string_view::npos);
        return;
    }
    MOXEL_FUZZ_CHECK(failure == nullptr);
    MOXEL_FUZZ_CHECK(copyFile.empty());

    const uint8_t frame = kFrameByte;
    auto pump = [&] { out.sendFrame(&frame, 1); };
    MOXEL_FUZZ_CHECK(server.accept(pump));
    expectHeaderOnConnection(server, protocol, first, pump);

    // The server drops the connection; once the interval has passed the
    // output connects again and sends the header it kept.
    server.closePeer();
    clock.advance(moxel::kStreamReconnectMs + 1);
    MOXEL_FUZZ_CHECK(server.accept(pump));
    MOXEL_FUZZ_CHECK(out.reconnects() == 1);
    expectHeaderOnConnection(
        server, protocol, protocol == StreamProtocol::Qz ? qzHeader(expected, true) : first, pump);
    server.closePeer();
}

void entry(const uint8_t* data, size_t size)
{
    static const std::string path = moxel::fuzz::scratchPath("stream-header.txt");
    moxel::fuzz::writeScratch(path, data, size);
    ExpectedHeader expected =
        expectedHeader(std::string_view(reinterpret_cast<const char*>(data), size));
    runProtocol(StreamProtocol::Qz, path, expected);
    runProtocol(StreamProtocol::Brox, path, expected);
}

std::vector<std::string> seeds()
{
    return {
        "Content-Type: video/kmf\r\nicy-name: a test stream\r\nicy-reset: 1\r\n\r\n",
        "icy-name: first\nicy-genre: second\nthird line kept only\n",
        "one line without an end",
        "\r\n",
        std::string("with\0a NUL\r\nicy-reset:\0\r\n", 26),
        "short\n" + std::string(512, 'x') + "\n",
    };
}

} // namespace

MOXEL_FUZZ_TARGET(entry, seeds);
