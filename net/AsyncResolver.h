// Host names to IPv4 addresses without blocking the caller. The first
// request for a name files it in a fixed-size cache and starts a lookup pass
// on a thread of its own; the caller keeps asking with resolve() and gets the
// cached answer once the pass has reached the name. Answers never expire: a
// failed lookup stays failed until its slot is reused for another name.
//
// resolve() is called from one thread (the connection's owner). The slots are
// shared with the lookup thread without a lock: each slot's state word hands
// it over. The caller fills name and address, then publishes the slot as
// pending (release); the thread looks only at pending slots (acquire), writes
// the address and publishes the slot as done (release). The caller never
// rewrites a pending slot.
#pragma once

#include "net/Clock.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace moxel {

// Network byte order; kNoAddress = lookup failed or not done yet.
inline constexpr uint32_t kNoAddress = 0xFFFFFFFFu;
inline constexpr int kResolverNameMax = 255;

// Looks one name up, blocking; kNoAddress on failure. Runs on the lookup thread.
using HostLookup = std::function<uint32_t(const char* name)>;

// The system lookup (getaddrinfo, IPv4 only): the first address found.
uint32_t lookupHostIPv4(const char* name);

// The value of a dotted-decimal IPv4 address, or kNoAddress when text is not one.
uint32_t parseDottedIPv4(const char* text);

class AsyncResolver {
  public:
    explicit AsyncResolver(int count, Clock& clock = steadyClock(),
                           HostLookup lookup = lookupHostIPv4);
    // Asks a running pass to stop after its current name and waits for it.
    ~AsyncResolver();
    AsyncResolver(const AsyncResolver&) = delete;
    AsyncResolver& operator=(const AsyncResolver&) = delete;

    // 0: *address set; 1: lookup pending, ask again later; -1: the lookup
    // failed, every slot is pending, or the name is empty or too long.
    int resolve(const char* name, uint32_t* address);

    int slotCount() const { return m_count; }
    // True while a lookup pass runs.
    bool passRunning() const { return m_idle.load(std::memory_order_acquire) == 0; }

  private:
    enum SlotState : uint8_t { Free = 0, Pending = 1, Done = 2 };
    struct Entry {
        uint32_t lastUsed = 0; // seconds; 0 = free. Caller only.
        std::atomic<uint8_t> state{Free};
        char name[kResolverNameMax + 1] = {};
        uint32_t address = kNoAddress; // written by whoever owns the slot
    };

    uint32_t nowSeconds() const;
    void startPass();
    void runPass();

    std::unique_ptr<Entry[]> m_entries;
    int m_count;
    Clock& m_clock;
    HostLookup m_lookup;
    // 1 when no pass runs; the caller sets 0 to start one and 1 to stop it,
    // the thread sets 1 when its pass ends.
    std::atomic<int> m_idle{1};
    std::thread m_thread;
};

} // namespace moxel
