// A diagnostic sink that keeps the lines of one piece of work (a job) and
// passes each on, so the console or the program's own sink still sees them
// as before. It keeps the first kept.head lines and the last kept.tail
// lines, and counts the ones left out between them, so a job that logs
// without end costs bounded memory.
//
// Lines come from several threads at once (the job's worker and the threads
// it starts); everything is under one lock, and a reader may take a copy at
// any time. Passing on happens outside the lock.
#pragma once

#include "base/DiagnosticSink.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace moxel {

struct KeptDiagnosticLine {
    std::string tag;
    DiagnosticLevel level = DiagnosticLevel::Info;
    std::string line;
};

class RecordingDiagnosticSink : public DiagnosticSink {
  public:
    struct Bound {
        size_t head = 300; // the first lines, kept for good
        size_t tail = 300; // the last lines, the older ones dropping out
    };

    // next receives every line written; null: the process-wide sink (the
    // console unless the program set another).
    explicit RecordingDiagnosticSink(std::shared_ptr<DiagnosticSink> next = nullptr);
    RecordingDiagnosticSink(std::shared_ptr<DiagnosticSink> next, Bound bound);

    // Keeps the line and passes it on.
    void write(std::string_view tag, DiagnosticLevel level, std::string_view line) override;
    // Keeps the line without passing it on (something already shown
    // elsewhere, such as a message the user saw in a box).
    void keep(std::string_view tag, DiagnosticLevel level, std::string_view line);

    // The kept lines in order: the head, then the tail.
    std::vector<KeptDiagnosticLine> lines() const;
    // The lines left out between the head and the tail.
    size_t leftOut() const;
    // Every line ever given, kept or not.
    size_t total() const;

  private:
    std::shared_ptr<DiagnosticSink> m_next;
    Bound m_bound;
    mutable std::mutex m_lock;
    std::vector<KeptDiagnosticLine> m_head;
    std::deque<KeptDiagnosticLine> m_tail;
    size_t m_leftOut = 0;
};

} // namespace moxel
