// A real decode with a job's sink installed: the decoder source's lines,
// those of its own threads included, reach the sink with their tag and
// level, exactly the lines the console would have printed, and none of them
// reach the process-wide sink.
#include "DiagnosticCapture.h"

#include "base/DiagnosticSink.h"
#include "pipeline/VideoTables.h"
#include "sources/DecoderSource.h"
#include "support/ClipWriter.h"
#include "support/TempDir.h"

extern "C" {
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace moxel {
namespace {

using Lines = std::vector<std::string>;

// Reads the source to its end the way the worker does.
void drain(DecoderSource& source)
{
    std::vector<uint8_t> audio(16384);
    int length = 0;
    const uint8_t* picture = nullptr;
    while (source.getVideoFrame(&picture) == 1)
        source.getAudio(audio.data(), int(audio.size()), &length);
    while (source.getAudio(audio.data(), int(audio.size()), &length) == 1 && length > 0) {
    }
}

void decode(const std::string& path)
{
    DecoderSource source;
    ASSERT_EQ(source.open(path, ""), 1);
    drain(source);
    source.close();
}

Lines sortedLines(const std::string& text)
{
    Lines lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(DecoderDiagnostics, AJobSinkGetsTheLinesOfTheDecoderAndItsThreads)
{
    initVideoTables();
    av_log_set_level(AV_LOG_QUIET);
    // Two transport streams back to back: the second half has other picture
    // sizes and sound at another rate, which the decoding threads report.
    test::TempDir dir;
    test::ClipSpec first;
    first.frameCount = 10;
    first.audioCodec = "mp3";
    test::ClipSpec second = first;
    second.width = 320;
    second.height = 240;
    second.sampleRate = 22050;
    second.channels = 1;
    ASSERT_TRUE(test::writeClip(dir.file("first.ts"), first));
    ASSERT_TRUE(test::writeClip(dir.file("second.ts"), second));
    std::vector<uint8_t> joined = test::readFileBytes(dir.file("first.ts"));
    const std::vector<uint8_t> tail = test::readFileBytes(dir.file("second.ts"));
    joined.insert(joined.end(), tail.begin(), tail.end());
    const std::string path = dir.file("joined.ts");
    test::writeFileBytes(path, joined);

    test::ConsoleCapture console;
    decode(path);
    console.finish();

    auto process = std::make_shared<test::CapturingSink>();
    auto job = std::make_shared<test::CapturingSink>();
    const std::shared_ptr<DiagnosticSink> before = setProcessDiagnosticSink(process);
    {
        ScopedDiagnosticSink use(job);
        decode(path);
    }
    setProcessDiagnosticSink(before);

    EXPECT_EQ(console.err(), "");
    Lines dshow = job->texts(kDshowDiagnostics);
    std::sort(dshow.begin(), dshow.end());
    EXPECT_EQ(dshow, sortedLines(console.out()));
    EXPECT_TRUE(process->lines().empty());

    bool reported = false, pictureChange = false, soundChange = false;
    for (const test::CapturedLine& l : job->lines()) {
        SCOPED_TRACE(l.line);
        EXPECT_EQ(l.tag, kDshowDiagnostics);
        EXPECT_EQ(l.level, DiagnosticLevel::Info);
        const bool onThisThread = l.thread == std::this_thread::get_id();
        if (l.line == "Dshow: reported input fps=25.000000") {
            reported = true;
            EXPECT_TRUE(onThisThread);
        } else if (l.line == "Dshow: video media type changed!") {
            pictureChange = true;
            EXPECT_FALSE(onThisThread);
        } else if (l.line.rfind("Dshow: audio media type changed (", 0) == 0 &&
                   l.line.find("1ch@22050hz)") != std::string::npos) {
            soundChange = true;
            EXPECT_FALSE(onThisThread);
        }
    }
    EXPECT_TRUE(reported);
    EXPECT_TRUE(pictureChange);
    EXPECT_TRUE(soundChange);
}

} // namespace
} // namespace moxel
