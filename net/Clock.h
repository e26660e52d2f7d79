// Millisecond time for the networking code and the stream output. The
// program uses steadyClock(); tests hand in a ManualClock they move by hand,
// so waiting for a reconnect interval costs no real time.
#pragma once

#include <atomic>
#include <cstdint>

namespace moxel {

class Clock {
  public:
    virtual ~Clock() = default;
    // Monotonic milliseconds; only differences mean anything.
    virtual uint64_t nowMs() const = 0;
};

// The process-wide monotonic clock (std::chrono::steady_clock).
Clock& steadyClock();

// A clock that only moves when told to. May be read from any thread.
class ManualClock : public Clock {
  public:
    explicit ManualClock(uint64_t startMs = 1000) : m_now(startMs) {}
    uint64_t nowMs() const override { return m_now.load(std::memory_order_acquire); }
    void advance(uint64_t ms) { m_now.fetch_add(ms, std::memory_order_acq_rel); }
    void set(uint64_t ms) { m_now.store(ms, std::memory_order_release); }

  private:
    std::atomic<uint64_t> m_now;
};

} // namespace moxel
