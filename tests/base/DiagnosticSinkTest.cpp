// Which sink a line reaches: scoped installs and their restoring, the
// process-wide sink, threads that take their starter's sink along, and
// several threads emitting at once into sinks of their own (run under
// ThreadSanitizer too).
#include "DiagnosticCapture.h"

#include "base/DiagnosticSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace moxel {
namespace {

using test::CapturingSink;
using Lines = std::vector<std::string>;

// Replaces the process-wide sink with a capturing one for a test.
class DiagnosticSinkTest : public ::testing::Test {
  protected:
    void SetUp() override { m_before = setProcessDiagnosticSink(m_process); }
    void TearDown() override { setProcessDiagnosticSink(m_before); }

    std::shared_ptr<CapturingSink> m_process = std::make_shared<CapturingSink>();
    std::shared_ptr<DiagnosticSink> m_before;
};

TEST_F(DiagnosticSinkTest, ScopedInstallsNestAndRestoreTheSinkBefore)
{
    auto outer = std::make_shared<CapturingSink>();
    auto inner = std::make_shared<CapturingSink>();
    emitDiagnostic("t", DiagnosticLevel::Info, "process 1");
    {
        ScopedDiagnosticSink useOuter(outer);
        EXPECT_EQ(threadDiagnosticSink(), outer);
        emitDiagnostic("t", DiagnosticLevel::Info, "outer 1");
        {
            ScopedDiagnosticSink useInner(inner);
            emitDiagnostic("t", DiagnosticLevel::Info, "inner");
            {
                ScopedDiagnosticSink none(nullptr); // back to the process-wide sink meanwhile
                EXPECT_FALSE(diagnosticsGoToConsole());
                emitDiagnostic("t", DiagnosticLevel::Info, "process 2");
            }
            emitDiagnostic("t", DiagnosticLevel::Info, "inner again");
        }
        emitDiagnostic("t", DiagnosticLevel::Info, "outer 2");
    }
    EXPECT_EQ(threadDiagnosticSink(), nullptr);
    emitDiagnostic("t", DiagnosticLevel::Info, "process 3");

    EXPECT_EQ(outer->texts("t"), (Lines{"outer 1", "outer 2"}));
    EXPECT_EQ(inner->texts("t"), (Lines{"inner", "inner again"}));
    EXPECT_EQ(m_process->texts("t"), (Lines{"process 1", "process 2", "process 3"}));
}

TEST_F(DiagnosticSinkTest, TheProcessWideSinkIsReplacedAndPutBack)
{
    EXPECT_FALSE(diagnosticsGoToConsole());
    auto other = std::make_shared<CapturingSink>();
    EXPECT_EQ(setProcessDiagnosticSink(other), m_process);
    emitDiagnostic("t", DiagnosticLevel::Warning, "to the other");
    EXPECT_EQ(setProcessDiagnosticSink(nullptr), other);
    EXPECT_TRUE(diagnosticsGoToConsole());
    EXPECT_EQ(setProcessDiagnosticSink(m_process), nullptr);

    const auto lines = other->lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].tag, "t");
    EXPECT_EQ(lines[0].level, DiagnosticLevel::Warning);
    EXPECT_EQ(lines[0].line, "to the other");
    EXPECT_TRUE(m_process->lines().empty());
}

TEST_F(DiagnosticSinkTest, FormattedLinesHaveNoLengthLimit)
{
    const std::string path(1000, 'p');
    emitDiagnosticf("t", DiagnosticLevel::Error, "cannot open %s: %d", path.c_str(), 7);
    emitDiagnosticf("t", DiagnosticLevel::Error, "fps=%f", 25.0);
    EXPECT_EQ(m_process->texts("t"), (Lines{"cannot open " + path + ": 7", "fps=25.000000"}));
}

TEST_F(DiagnosticSinkTest, StartedThreadsTakeTheSinkOfTheThreadThatStartsThem)
{
    auto job = std::make_shared<CapturingSink>();
    std::thread carried, plain;
    {
        ScopedDiagnosticSink use(job);
        carried = std::thread(
            carryDiagnosticSink([] { emitDiagnostic("t", DiagnosticLevel::Info, "carried"); }));
        plain = std::thread([] { emitDiagnostic("t", DiagnosticLevel::Info, "not carried"); });
    }
    // The scope has ended: the carried thread holds the sink on its own.
    carried.join();
    plain.join();
    std::thread outside(
        carryDiagnosticSink([] { emitDiagnostic("t", DiagnosticLevel::Info, "outside"); }));
    outside.join();

    EXPECT_EQ(job->texts("t"), Lines{"carried"});
    Lines process = m_process->texts("t");
    std::sort(process.begin(), process.end());
    EXPECT_EQ(process, (Lines{"not carried", "outside"}));
}

TEST_F(DiagnosticSinkTest, ConcurrentEmittersKeepTheirLinesApart)
{
    constexpr int kThreads = 6;
    constexpr int kLines = 300;
    std::vector<std::shared_ptr<CapturingSink>> sinks;
    for (int t = 0; t < kThreads; ++t)
        sinks.push_back(std::make_shared<CapturingSink>());
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        // Odd threads have no sink of their own and share the process-wide one.
        std::shared_ptr<DiagnosticSink> own = t % 2 == 0 ? sinks[size_t(t)] : nullptr;
        threads.emplace_back([t, own, &go] {
            ScopedDiagnosticSink use(own);
            while (!go.load())
                std::this_thread::yield();
            for (int i = 0; i < kLines; ++i)
                emitDiagnosticf("t", DiagnosticLevel::Info, "%d:%d", t, i);
        });
    }
    // Meanwhile the process-wide sink is swapped back and forth.
    auto spare = std::make_shared<CapturingSink>();
    go.store(true);
    for (int i = 0; i < 200; ++i)
        setProcessDiagnosticSink(i % 2 == 0 ? spare : m_process);
    setProcessDiagnosticSink(m_process);
    for (std::thread& thread : threads)
        thread.join();

    for (int t = 0; t < kThreads; t += 2) {
        Lines expected;
        for (int i = 0; i < kLines; ++i)
            expected.push_back(std::to_string(t) + ":" + std::to_string(i));
        EXPECT_EQ(sinks[size_t(t)]->texts("t"), expected) << t;
    }
    // Every shared line arrived in one of the two, from a thread without a sink.
    Lines shared = spare->texts("t");
    const Lines rest = m_process->texts("t");
    shared.insert(shared.end(), rest.begin(), rest.end());
    EXPECT_EQ(shared.size(), size_t(kThreads / 2 * kLines));
    for (const std::string& line : shared) {
        const int t = std::stoi(line);
        ASSERT_EQ(t % 2, 1) << line;
    }
}

} // namespace
} // namespace moxel
