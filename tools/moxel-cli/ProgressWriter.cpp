#include "tools/moxel-cli/ProgressWriter.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>

namespace moxel::cli {

ProgressWriter::~ProgressWriter()
{
    finish();
}

bool ProgressWriter::open(const std::string& target)
{
    if (target == "-") {
        m_stream = stdout;
        m_ownsStream = false;
        return true;
    }
    m_stream = std::fopen(target.c_str(), "w");
    m_ownsStream = m_stream != nullptr;
    return m_stream != nullptr;
}

void ProgressWriter::adopt(std::FILE* stream)
{
    m_stream = stream;
    m_ownsStream = stream != nullptr;
}

std::string ProgressWriter::block(int job, const std::string& source,
                                  const JobProgress& progress) const
{
    const auto micros = int64_t(std::llround(std::max(progress.mediaSeconds, 0.0) * 1e6));
    const int64_t seconds = micros / 1000000;
    char text[512];
    char percent[32] = "N/A";
    if (progress.percent >= 0)
        std::snprintf(percent, sizeof percent, "%.1f", progress.percent);
    std::snprintf(text, sizeof text,
                  "job=%d\nframe=%u\nfps=%.2f\nout_time_us=%" PRId64 "\nout_time=%02" PRId64
                  ":%02" PRId64 ":%02" PRId64 ".%06" PRId64 "\npercent=%s\nstatus=%s\n",
                  job, progress.frames, progress.fps, micros, seconds / 3600, seconds / 60 % 60,
                  seconds % 60, micros % 1000000, percent, statusWord(progress.status));
    // The source name may be long, so it goes in outside the fixed buffer;
    // a line break in it would end its line early.
    std::string name = source;
    for (char& c : name)
        if (c == '\n' || c == '\r')
            c = '?';
    std::string out = text;
    return out.insert(out.find('\n') + 1, "source=" + name + "\n");
}

void ProgressWriter::flushPending(const char* progressValue)
{
    if (m_pending.empty())
        return;
    std::fprintf(m_stream, "%sprogress=%s\n", m_pending.c_str(), progressValue);
    std::fflush(m_stream);
    m_pending.clear();
}

void ProgressWriter::update(int job, const std::string& source, const JobProgress& progress)
{
    if (!m_stream)
        return;
    flushPending("continue");
    std::fprintf(m_stream, "%sprogress=continue\n", block(job, source, progress).c_str());
    std::fflush(m_stream);
}

void ProgressWriter::jobEnded(int job, const std::string& source, const JobProgress& progress)
{
    if (!m_stream)
        return;
    flushPending("continue");
    m_pending = block(job, source, progress);
}

void ProgressWriter::finish()
{
    if (!m_stream)
        return;
    flushPending("end");
    if (m_ownsStream)
        std::fclose(m_stream);
    m_stream = nullptr;
}

} // namespace moxel::cli
