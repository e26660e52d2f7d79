// The sink that keeps a job's lines: its bound (the first and the last lines
// kept, a count of the rest), passing every line on, and several threads
// writing at once.
#include "DiagnosticCapture.h"

#include "base/RecordingDiagnosticSink.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace moxel {
namespace {

std::vector<std::string> texts(const RecordingDiagnosticSink& sink)
{
    std::vector<std::string> out;
    for (const KeptDiagnosticLine& line : sink.lines())
        out.push_back(line.line);
    return out;
}

TEST(RecordingSink, KeepsTheFirstAndLastLinesCountsTheRestAndPassesAllOn)
{
    auto next = std::make_shared<test::CapturingSink>();
    RecordingDiagnosticSink sink(next, {3, 2});
    for (int i = 1; i <= 4; ++i)
        sink.write("Dshow", DiagnosticLevel::Info, "line " + std::to_string(i));
    // Under the bound nothing is left out yet.
    EXPECT_EQ(texts(sink), (std::vector<std::string>{"line 1", "line 2", "line 3", "line 4"}));
    EXPECT_EQ(sink.leftOut(), 0u);

    for (int i = 5; i <= 10; ++i)
        sink.write("Dshow", DiagnosticLevel::Info, "line " + std::to_string(i));
    EXPECT_EQ(texts(sink),
              (std::vector<std::string>{"line 1", "line 2", "line 3", "line 9", "line 10"}));
    EXPECT_EQ(sink.leftOut(), 5u);
    EXPECT_EQ(sink.total(), 10u);
    EXPECT_EQ(next->texts("Dshow").size(), 10u);

    // keep() is for the log alone.
    sink.keep("message", DiagnosticLevel::Error, "ERROR: shown in a box");
    EXPECT_EQ(sink.lines().back().line, "ERROR: shown in a box");
    EXPECT_EQ(sink.lines().back().tag, "message");
    EXPECT_TRUE(next->texts("message").empty());

    RecordingDiagnosticSink headOnly(next, {1, 0});
    headOnly.write("t", DiagnosticLevel::Info, "a");
    headOnly.write("t", DiagnosticLevel::Info, "b");
    EXPECT_EQ(texts(headOnly), std::vector<std::string>{"a"});
    EXPECT_EQ(headOnly.leftOut(), 1u);
}

TEST(RecordingSink, WithoutANextSinkLinesGoToTheProcessWideOne)
{
    auto process = std::make_shared<test::CapturingSink>();
    const std::shared_ptr<DiagnosticSink> before = setProcessDiagnosticSink(process);
    auto sink = std::make_shared<RecordingDiagnosticSink>();
    {
        // Even from a thread that writes to the recording sink itself.
        ScopedDiagnosticSink use(sink);
        emitDiagnostic("QT", DiagnosticLevel::Info, "QT: opened");
    }
    setProcessDiagnosticSink(before);
    EXPECT_EQ(process->texts("QT"), std::vector<std::string>{"QT: opened"});
    EXPECT_EQ(texts(*sink), std::vector<std::string>{"QT: opened"});
}

TEST(RecordingSink, ThreadsWritingAtOnceLoseNoCount)
{
    auto next = std::make_shared<test::CapturingSink>();
    RecordingDiagnosticSink sink(next, {10, 10});
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&sink] {
            for (int i = 0; i < 200; ++i)
                sink.write("t", DiagnosticLevel::Debug, "x");
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(sink.total(), 800u);
    EXPECT_EQ(sink.lines().size(), 20u);
    EXPECT_EQ(sink.leftOut(), 780u);
}

} // namespace
} // namespace moxel
