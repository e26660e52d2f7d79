// An encoder streaming small uncompressed pictures (the built-in "RGB3"
// coder, no audio) to a loopback receiver, with a clock the test moves and
// the diagnostic lines of the test's thread kept in memory, plus the waiting
// helpers the stream tests share. Frames drive the connection, so "waiting" means encoding more
// frames, with a short pause each, up to a bound.
#pragma once

#include "DiagnosticCapture.h"
#include "encoder/KmfEncoder.h"
#include "encoder/StreamOutput.h"
#include "net/Clock.h"
#include "support/TempDir.h"
#include "tools/kmf-receive/KmfReceiver.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace moxel::test {

struct StreamJob {
    // width x height pictures (3 bytes a pixel in the frame).
    explicit StreamJob(int width = 8, int height = 8);

    // Writes the stream header file and returns its path.
    std::string headerFile(const std::string& text, const std::string& name = "header.txt");
    // The copy file: while the encoder writes it, the temporary it is written
    // into (it takes the name copy.kmf at close).
    std::string copyPath() const
    {
        const std::string writing = encoder.writingPath();
        return writing.empty() ? dir.file("copy.kmf") : writing;
    }
    // "qz:127.0.0.1:PORT:HEADER+COPY" (copy optional).
    std::string destination(const char* protocol, int port, const std::string& header,
                            bool withCopy = true) const;
    void open(const std::string& destination);
    // One frame with a picture that changes from frame to frame.
    void frame();
    // Encodes frames until done() holds, at most maxFrames; true when it held.
    bool framesUntil(const std::function<bool()>& done, int maxFrames = 20000);
    const StreamOutput& stream() const { return *encoder.streamOutput(); }
    NetState state() const { return stream().connection()->state(); }
    // The stream's diagnostic lines ("[qz] ..." or "[brox] ..."), in order.
    std::vector<std::string> log() const;
    int logCount(const std::string& needle) const;

    TempDir dir;
    ManualClock clock;
    // Installed before the encoder is made and removed after it is gone, so
    // that the lines of its close are kept too.
    std::shared_ptr<CapturingSink> diagnostics = std::make_shared<CapturingSink>();
    ScopedDiagnosticSink useDiagnostics{diagnostics};
    std::vector<uint8_t> picture;
    int frames = 0;
    KmfEncoder encoder;
};

ReceiverOptions receiverOptions(ReceiveProtocol protocol);
// Waits (short pauses, bounded) until done() holds.
bool waitUntil(const std::function<bool()>& done);
// Number of well-formed frames in a KMF file (fails the test on a bad one).
int countFrames(const std::string& path);
std::vector<uint8_t> bytesOf(const std::string& text);
// True when part occurs in whole.
bool contains(const std::vector<uint8_t>& whole, const std::vector<uint8_t>& part);

} // namespace moxel::test
