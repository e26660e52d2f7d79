#include "jobs/JobLog.h"

#include <cstdio>
#include <ctime>

namespace moxel {

void JobLog::begin(std::shared_ptr<DiagnosticSink> next)
{
    auto lines = std::make_shared<RecordingDiagnosticSink>(std::move(next));
    std::lock_guard<std::mutex> guard(m_lock);
    m_errorText.clear();
    m_started = JobClock::now();
    m_ended.reset();
    m_counters.reset();
    m_lines = std::move(lines);
}

std::shared_ptr<DiagnosticSink> JobLog::sink() const
{
    return recorder();
}

std::shared_ptr<RecordingDiagnosticSink> JobLog::recorder() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lines;
}

void JobLog::addMessage(const std::string& title, const std::string& text)
{
    const std::string message = title + ": " + text;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_errorText.empty())
            m_errorText += '\n';
        m_errorText += message;
    }
    keepLine(DiagnosticLevel::Error, message);
}

void JobLog::keepLine(DiagnosticLevel level, const std::string& line)
{
    if (const std::shared_ptr<RecordingDiagnosticSink> lines = recorder())
        lines->keep(kMessageDiagnostics, level, line);
}

void JobLog::setCounters(const JobCounters& counters)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_counters = counters;
}

void JobLog::end()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_ended = JobClock::now();
}

void JobLog::clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_errorText.clear();
    m_started.reset();
    m_ended.reset();
    m_counters.reset();
    m_lines.reset();
}

std::string JobLog::errorText() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_errorText;
}

void JobLog::setErrorText(std::string text)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_errorText = std::move(text);
}

JobLogSnapshot JobLog::snapshot() const
{
    JobLogSnapshot copy;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        copy.errorText = m_errorText;
        copy.started = m_started;
        copy.ended = m_ended;
        copy.counters = m_counters;
    }
    if (const std::shared_ptr<RecordingDiagnosticSink> lines = recorder()) {
        copy.lines = lines->lines();
        copy.linesLeftOut = lines->leftOut();
    }
    return copy;
}

std::string isoTimeUtc(JobClock::time_point time)
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    const std::time_t seconds = std::time_t(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, int(ms % 1000));
    return text;
}

} // namespace moxel
