#include "app/JobPace.h"

namespace moxel::gui {

namespace {

constexpr auto kSpeedWindow = std::chrono::seconds(2);
constexpr auto kShortestMeasure = std::chrono::seconds(1);

} // namespace

void JobPace::observe(Clock::time_point now, bool encoding, uint32_t frames)
{
    if (m_running && now > m_last)
        m_encoding += now - m_last;
    m_running = encoding;
    m_last = now;
    if (!encoding) {
        // A pause says nothing about the speed after it.
        m_samples.clear();
        return;
    }
    m_samples.push_back({now, frames});
    // Keep one sample at or before the window's start, so that the span
    // measured is the whole window once there is one.
    while (m_samples.size() > 2 && m_samples[1].at <= now - kSpeedWindow)
        m_samples.pop_front();
}

double JobPace::encodingSeconds() const
{
    return std::chrono::duration<double>(m_encoding).count();
}

std::optional<double> JobPace::framesPerSecond() const
{
    if (m_samples.size() < 2)
        return std::nullopt;
    const Sample& first = m_samples.front();
    const Sample& last = m_samples.back();
    if (last.at - first.at < kShortestMeasure)
        return std::nullopt;
    // The count is the worker's and only grows during a run; unsigned
    // subtraction keeps a wrap harmless.
    const uint32_t frames = last.frames - first.frames;
    return frames / std::chrono::duration<double>(last.at - first.at).count();
}

} // namespace moxel::gui
