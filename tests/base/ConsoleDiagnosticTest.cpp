// The console sink prints every line as the engine always has: the same
// text, line breaks and stream for each tag, whether a line comes from the
// engine's code or is emitted directly; and the media libraries' messages,
// once routed, still read the same on standard error.
#include "DiagnosticCapture.h"

#include "base/DiagnosticSink.h"
#include "encoder/CodecPlugins.h"
#include "encoder/PcmCoder.h"
#include "encoder/RgbPackCoder.h"
#include "sources/FrameRateDetection.h"
#include "sources/LibraryLog.h"

extern "C" {
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <memory>
#include <string>

namespace moxel {
namespace {

struct ConsoleCase {
    const char* name;
    std::function<void()> emit;
    std::string out, err;
};

void line(std::string_view tag, const char* text)
{
    emitDiagnostic(tag, DiagnosticLevel::Info, text);
}

TEST(ConsoleDiagnosticSink, EveryTagPrintsAsBefore)
{
    ASSERT_TRUE(diagnosticsGoToConsole());
    const ConsoleCase cases[] = {
        {"decoder source", [] { line(kDshowDiagnostics, "Dshow: video media type changed!"); },
         "Dshow: video media type changed!\n", ""},
        {"frame-rate snap", [] { snapFrameRate(29.97); },
         "Dshow: overriding detected fps to 29.97002997\n", ""},
        {"movie source", [] { line(kQtDiagnostics, "QT audio format=mp4a"); },
         "QT audio format=mp4a\n", ""},
        {"qz stream", [] { line(kQzDiagnostics, "[qz] reconnecting to host:8000"); },
         "\n[qz] reconnecting to host:8000\n", ""},
        {"brox stream", [] { line(kBroxDiagnostics, "[brox]Got msg: 0,8197,2,'ok'"); },
         "\n[brox]Got msg: 0,8197,2,'ok'\n", ""},
        {"av plug-in",
         [] { line(kAvPluginDiagnostics, "kmf_coder_av: mp3 cannot encode at 7 Hz"); },
         "kmf_coder_av: mp3 cannot encode at 7 Hz\n", ""},
        {"plug-in loader", [] { (void)CodecPluginSet().load(""); }, "",
         "codec plug-ins: no folder to load from\n"},
        {"pcm coder", [] { (void)PcmCoder::create(0, 44100, 16); }, "",
         "PCM: cannot take 0 channels of 16-bit samples\n"},
        {"rgb coder", [] { (void)RgbPackCoder::create(1000, 1000); }, "",
         "RGB3: a 1000x1000 picture does not fit: uncompressed RGB needs width*height*3 <= "
         "524288\n"},
        {"stream copy", [] { line(kStreamCopyDiagnostics, "stream copy: cannot open /x/y"); }, "",
         "stream copy: cannot open /x/y\n"},
        {"message", [] { line(kMessageDiagnostics, "encoding error:: disk full"); }, "",
         "encoding error:: disk full\n"},
        {"profile editor",
         [] { line(kProfileEditorDiagnostics, "profile editor: unknown failure"); }, "",
         "profile editor: unknown failure\n"},
        {"unknown tag", [] { line("elsewhere", "100%s"); }, "", "100%s\n"},
    };
    for (const ConsoleCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::ConsoleCapture console;
        c.emit();
        console.finish();
        EXPECT_EQ(console.out(), c.out);
        EXPECT_EQ(console.err(), c.err);
    }
}

// What the media libraries write in a decode: an error, a banner below the
// level, a warning in two pieces, a panic.
void libraryMessages()
{
    av_log(nullptr, AV_LOG_ERROR, "cannot %s\n", "decode");
    av_log(nullptr, AV_LOG_INFO, "banner\n");
    av_log(nullptr, AV_LOG_WARNING, "half ");
    av_log(nullptr, AV_LOG_WARNING, "a line\n");
    av_log(nullptr, AV_LOG_PANIC, "gone\n");
}

TEST(ConsoleDiagnosticSink, MediaLibraryMessagesKeepTheirLevelAndText)
{
    setLibraryLogLevel(); // warnings and errors
    test::ConsoleCapture console;
    libraryMessages();
    // The same messages to a sink: one entry per line, without the line end.
    auto sink = std::make_shared<test::CapturingSink>();
    {
        ScopedDiagnosticSink use(sink);
        libraryMessages();
    }
    console.finish();
    av_log_set_callback(av_log_default_callback);

    EXPECT_EQ(console.out(), "");
    EXPECT_EQ(console.err(), "cannot decode\nhalf a line\ngone\n");
    const auto lines = sink->lines();
    const struct {
        DiagnosticLevel level;
        const char* text;
    } expected[] = {
        {DiagnosticLevel::Error, "cannot decode"},
        {DiagnosticLevel::Warning, "half a line"},
        {DiagnosticLevel::Error, "gone"},
    };
    ASSERT_EQ(lines.size(), std::size(expected));
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].tag, kMediaLibraryDiagnostics);
        EXPECT_EQ(lines[i].level, expected[i].level) << i;
        EXPECT_EQ(lines[i].line, expected[i].text);
    }
}

} // namespace
} // namespace moxel
