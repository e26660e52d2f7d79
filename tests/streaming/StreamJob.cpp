#include "StreamJob.h"

#include "container/FourCC.h"
#include "container/KmfReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace moxel::test {

StreamJob::StreamJob(int width, int height) : picture(size_t(width) * size_t(height) * 4)
{
    encoder.setClock(&clock);
    encoder.setVideo(kFourCCRgb3, width, height, 25.0, kFourCCRgba, nullptr);
}

std::string StreamJob::headerFile(const std::string& text, const std::string& name)
{
    std::string path = dir.file(name);
    writeFileText(path, text);
    return path;
}

std::string StreamJob::destination(const char* protocol, int port, const std::string& header,
                                   bool withCopy) const
{
    std::string d = std::string(protocol) + ":127.0.0.1:" + std::to_string(port) + ":" + header;
    return withCopy ? d + "+" + copyPath() : d;
}

void StreamJob::open(const std::string& destination)
{
    encoder.openOutput(destination.c_str());
    ASSERT_EQ(encoder.errorText(), nullptr) << encoder.errorText();
    ASSERT_NE(encoder.streamOutput(), nullptr);
}

void StreamJob::frame()
{
    for (size_t i = 0; i < picture.size(); ++i)
        picture[i] = uint8_t(frames * 31 + i);
    encoder.addVideoFrame(picture.data());
    ++frames;
    ASSERT_EQ(encoder.errorText(), nullptr) << encoder.errorText();
}

bool StreamJob::framesUntil(const std::function<bool()>& done, int maxFrames)
{
    for (int i = 0; i < maxFrames; ++i) {
        if (done())
            return true;
        frame();
        if (::testing::Test::HasFatalFailure())
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return done();
}

std::vector<std::string> StreamJob::log() const
{
    std::vector<std::string> lines;
    for (const CapturedLine& l : diagnostics->lines())
        if (l.tag == kQzDiagnostics || l.tag == kBroxDiagnostics)
            lines.push_back(l.line);
    return lines;
}

int StreamJob::logCount(const std::string& needle) const
{
    std::vector<std::string> lines = log();
    return int(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(needle) != std::string::npos;
    }));
}

ReceiverOptions receiverOptions(ReceiveProtocol protocol)
{
    ReceiverOptions o;
    o.protocol = protocol;
    return o;
}

bool waitUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 20000; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return done();
}

int countFrames(const std::string& path)
{
    KmfReader reader;
    EXPECT_TRUE(reader.openFile(path)) << path;
    KmfFrameInfo f;
    int n = 0;
    KmfReadStatus status;
    while ((status = reader.nextFrame(f)) == KmfReadStatus::Ok)
        ++n;
    EXPECT_EQ(status, KmfReadStatus::End) << reader.errorText();
    return n;
}

std::vector<uint8_t> bytesOf(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

bool contains(const std::vector<uint8_t>& whole, const std::vector<uint8_t>& part)
{
    return std::search(whole.begin(), whole.end(), part.begin(), part.end()) != whole.end();
}

} // namespace moxel::test
