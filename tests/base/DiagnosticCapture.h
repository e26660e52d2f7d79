// Helpers of the diagnostic tests: a sink that keeps what it is given (with
// the thread that emitted it), and a capture of what this process writes to
// standard output and standard error meanwhile.
#pragma once

#include "base/DiagnosticSink.h"

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace moxel::test {

struct CapturedLine {
    std::string tag;
    DiagnosticLevel level;
    std::string line;
    std::thread::id thread;
};

class CapturingSink : public DiagnosticSink {
  public:
    void write(std::string_view tag, DiagnosticLevel level, std::string_view line) override;
    std::vector<CapturedLine> lines() const;
    // The lines with this tag, text only, in order.
    std::vector<std::string> texts(std::string_view tag) const;

  private:
    mutable std::mutex m_lock;
    std::vector<CapturedLine> m_lines;
};

// Points file descriptors 1 and 2 at temporary files until finish() (or the
// destructor), flushing the C streams on both sides.
class ConsoleCapture {
  public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    void finish();
    const std::string& out() const { return m_out; }
    const std::string& err() const { return m_err; }

  private:
    int m_savedOut = -1, m_savedErr = -1;
    std::FILE* m_outFile = nullptr;
    std::FILE* m_errFile = nullptr;
    std::string m_out, m_err;
};

} // namespace moxel::test
