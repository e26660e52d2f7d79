// How fast one job goes, as the window sees it on its timer ticks: the wall
// time it has spent encoding (time paused or starting is left out), and its
// speed now in frames per second, measured over the last two seconds.
//
// Used on the user-interface thread only; observe() is given the job's
// state and frame count as read from its record on each tick.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

namespace moxel::gui {

class JobPace {
  public:
    using Clock = std::chrono::steady_clock;

    // One tick: whether the job encodes now and the frames it has built.
    void observe(Clock::time_point now, bool encoding, uint32_t frames);

    // Wall time spent encoding, up to the last tick.
    Clock::duration encodingTime() const { return m_encoding; }
    double encodingSeconds() const;
    // Frames per second over the last two seconds; nothing until the job has
    // encoded for one second without a pause.
    std::optional<double> framesPerSecond() const;

  private:
    struct Sample {
        Clock::time_point at;
        uint32_t frames;
    };

    Clock::duration m_encoding{};
    Clock::time_point m_last{};
    bool m_running = false;
    std::deque<Sample> m_samples; // while encoding, oldest first
};

} // namespace moxel::gui
