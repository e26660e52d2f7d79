#include "fuzz/CollectedDiagnostics.h"

namespace moxel::fuzz {

// Fuzz runs are single-threaded: the lines come from the thread that
// installed the sink, so no lock is needed.
class CollectedDiagnostics::Sink : public DiagnosticSink {
  public:
    void write(std::string_view tag, DiagnosticLevel, std::string_view line) override
    {
        lines.push_back({std::string(tag), std::string(line)});
    }
    std::vector<std::pair<std::string, std::string>> lines;
};

CollectedDiagnostics::CollectedDiagnostics() : m_sink(std::make_shared<Sink>()), m_use(m_sink) {}

CollectedDiagnostics::~CollectedDiagnostics() = default;

std::vector<std::string> CollectedDiagnostics::lines(std::string_view tag,
                                                     std::string_view needle) const
{
    std::vector<std::string> found;
    for (const auto& [lineTag, line] : m_sink->lines)
        if (lineTag == tag && line.find(needle) != std::string::npos)
            found.push_back(line);
    return found;
}

} // namespace moxel::fuzz
