#include "app/SourceDurations.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace moxel::gui {

namespace {

constexpr double kUnknown = -1.0; // in m_known: looked up, not yet answered

} // namespace

SourceDurations::SourceDurations() : m_thread([this] { run(); }) {}

SourceDurations::~SourceDurations()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

std::optional<double> SourceDurations::length(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    auto found = m_known.find(path);
    if (found == m_known.end()) {
        m_known.emplace(path, kUnknown);
        m_waiting.push_back(path);
        m_wake.notify_one();
        return std::nullopt;
    }
    if (found->second == kUnknown)
        return std::nullopt;
    return found->second;
}

void SourceDurations::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
        if (m_stopping)
            return;
        const std::string path = m_waiting.front();
        m_waiting.pop_front();
        lock.unlock();
        const double seconds = probe(path);
        lock.lock();
        m_known[path] = seconds;
    }
}

double SourceDurations::probe(const std::string& path)
{
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0)
        return 0.0;
    if (context->duration <= 0 || context->duration == AV_NOPTS_VALUE)
        avformat_find_stream_info(context, nullptr);
    double seconds = 0.0;
    if (context->duration > 0 && context->duration != AV_NOPTS_VALUE)
        seconds = double(context->duration) / AV_TIME_BASE;
    avformat_close_input(&context);
    return seconds;
}

} // namespace moxel::gui
