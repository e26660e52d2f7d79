#include "base/DiagnosticSink.h"

#include "base/ConsoleDiagnosticSink.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>

namespace moxel {

namespace {

// Built in static storage and never destroyed, so that lines emitted while
// the process exits still find it; no heap block either, which a library
// copy of this code would leave behind when it is unloaded.
struct ProcessSink {
    std::mutex lock;
    std::shared_ptr<DiagnosticSink> sink; // null: the console
};

ProcessSink& processSink()
{
    alignas(ProcessSink) static unsigned char storage[sizeof(ProcessSink)];
    static ProcessSink* const process = new (storage) ProcessSink;
    return *process;
}

thread_local std::shared_ptr<DiagnosticSink> t_threadSink;

std::shared_ptr<DiagnosticSink> processSinkNow()
{
    ProcessSink& process = processSink();
    std::lock_guard<std::mutex> guard(process.lock);
    return process.sink;
}

} // namespace

void emitDiagnostic(std::string_view tag, DiagnosticLevel level, std::string_view line)
{
    if (t_threadSink) {
        t_threadSink->write(tag, level, line);
        return;
    }
    writeProcessDiagnostic(tag, level, line);
}

void writeProcessDiagnostic(std::string_view tag, DiagnosticLevel level, std::string_view line)
{
    if (const std::shared_ptr<DiagnosticSink> process = processSinkNow())
        process->write(tag, level, line);
    else
        consoleDiagnosticSink().write(tag, level, line);
}

void emitDiagnosticf(std::string_view tag, DiagnosticLevel level, const char* format, ...)
{
    char small[256];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return;
    }
    if (size_t(length) < sizeof small) {
        va_end(again);
        emitDiagnostic(tag, level, std::string_view(small, size_t(length)));
        return;
    }
    std::string line;
    try {
        line.resize(size_t(length));
    } catch (const std::bad_alloc&) {
        va_end(again);
        emitDiagnostic(tag, level, small); // cut short rather than lost
        return;
    }
    std::vsnprintf(line.data(), line.size() + 1, format, again);
    va_end(again);
    emitDiagnostic(tag, level, line);
}

std::shared_ptr<DiagnosticSink> setProcessDiagnosticSink(std::shared_ptr<DiagnosticSink> sink)
{
    ProcessSink& process = processSink();
    std::lock_guard<std::mutex> guard(process.lock);
    process.sink.swap(sink);
    return sink;
}

bool diagnosticsGoToConsole()
{
    return !t_threadSink && !processSinkNow();
}

std::shared_ptr<DiagnosticSink> threadDiagnosticSink()
{
    return t_threadSink;
}

ScopedDiagnosticSink::ScopedDiagnosticSink(std::shared_ptr<DiagnosticSink> sink)
    : m_previous(std::exchange(t_threadSink, std::move(sink)))
{
}

ScopedDiagnosticSink::~ScopedDiagnosticSink()
{
    t_threadSink = std::move(m_previous);
}

} // namespace moxel
