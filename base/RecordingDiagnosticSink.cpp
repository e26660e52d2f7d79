#include "base/RecordingDiagnosticSink.h"

namespace moxel {

RecordingDiagnosticSink::RecordingDiagnosticSink(std::shared_ptr<DiagnosticSink> next)
    : RecordingDiagnosticSink(std::move(next), Bound{})
{
}

RecordingDiagnosticSink::RecordingDiagnosticSink(std::shared_ptr<DiagnosticSink> next, Bound bound)
    : m_next(std::move(next)), m_bound(bound)
{
}

void RecordingDiagnosticSink::write(std::string_view tag, DiagnosticLevel level,
                                    std::string_view line)
{
    keep(tag, level, line);
    if (m_next)
        m_next->write(tag, level, line);
    else
        writeProcessDiagnostic(tag, level, line);
}

void RecordingDiagnosticSink::keep(std::string_view tag, DiagnosticLevel level,
                                   std::string_view line)
{
    KeptDiagnosticLine kept{std::string(tag), level, std::string(line)};
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_head.size() < m_bound.head) {
        m_head.push_back(std::move(kept));
        return;
    }
    if (m_bound.tail == 0) {
        ++m_leftOut;
        return;
    }
    if (m_tail.size() == m_bound.tail) {
        m_tail.pop_front();
        ++m_leftOut;
    }
    m_tail.push_back(std::move(kept));
}

std::vector<KeptDiagnosticLine> RecordingDiagnosticSink::lines() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<KeptDiagnosticLine> all(m_head);
    all.insert(all.end(), m_tail.begin(), m_tail.end());
    return all;
}

size_t RecordingDiagnosticSink::leftOut() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_leftOut;
}

size_t RecordingDiagnosticSink::total() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_head.size() + m_tail.size() + m_leftOut;
}

} // namespace moxel
