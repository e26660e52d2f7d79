// The resolver's cache: dotted addresses bypass it, answers (also failures)
// stay cached, a full cache of pending names refuses more, the least recently
// asked done slot is reused, and the system lookup finds localhost.
#include "net/AsyncResolver.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

using namespace moxel;

namespace {

// A lookup the test controls: answers from a table, counts calls per name,
// and can hold every lookup until opened.
class ScriptedLookup {
  public:
    HostLookup function()
    {
        return [this](const char* name) { return lookup(name); };
    }
    void answer(const std::string& name, uint32_t address)
    {
        std::lock_guard lock(m_lock);
        m_answers[name] = address;
    }
    void hold()
    {
        std::lock_guard lock(m_lock);
        m_held = true;
    }
    void open()
    {
        {
            std::lock_guard lock(m_lock);
            m_held = false;
        }
        m_wake.notify_all();
    }
    int calls(const std::string& name)
    {
        std::lock_guard lock(m_lock);
        return m_calls[name];
    }
    int totalCalls()
    {
        std::lock_guard lock(m_lock);
        int n = 0;
        for (auto& [name, count] : m_calls)
            n += count;
        return n;
    }

  private:
    uint32_t lookup(const char* name)
    {
        std::unique_lock lock(m_lock);
        ++m_calls[name];
        m_wake.wait(lock, [this] { return !m_held; });
        auto it = m_answers.find(name);
        return it == m_answers.end() ? kNoAddress : it->second;
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_held = false;
    std::map<std::string, uint32_t> m_answers;
    std::map<std::string, int> m_calls;
};

uint32_t ip(const char* dotted)
{
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return a.s_addr;
}

// Asks until the answer is no longer "pending" (bounded).
int settle(AsyncResolver& r, const std::string& name, uint32_t* address)
{
    for (int i = 0; i < 100000; ++i) {
        int result = r.resolve(name.c_str(), address);
        if (result != 1)
            return result;
        std::this_thread::sleep_for(std::chrono::microseconds(i < 100 ? 0 : 100));
    }
    return 1;
}

std::string hostName(int i)
{
    return "host" + std::to_string(i) + ".example";
}

} // namespace

TEST(AsyncResolver, DottedAddressNeedsNoSlotAndNoThread)
{
    ScriptedLookup lookup;
    ManualClock clock;
    AsyncResolver r(1, clock, lookup.function());
    lookup.hold();
    uint32_t address = 0;
    ASSERT_EQ(r.resolve("held.example", &address), 1); // the only slot is pending
    EXPECT_EQ(r.resolve("127.0.0.1", &address), 0);
    EXPECT_EQ(address, ip("127.0.0.1"));
    EXPECT_EQ(r.resolve("10.1.2.3", &address), 0);
    EXPECT_EQ(address, ip("10.1.2.3"));
    lookup.open();
    EXPECT_EQ(settle(r, "held.example", &address), -1);
    EXPECT_EQ(lookup.totalCalls(), 1);
}

TEST(AsyncResolver, AnswersAndFailuresStayCached)
{
    ScriptedLookup lookup;
    lookup.answer("good.example", ip("192.0.2.7"));
    ManualClock clock;
    AsyncResolver r(4, clock, lookup.function());

    uint32_t address = 0;
    EXPECT_EQ(r.resolve("good.example", &address), 1);
    EXPECT_EQ(settle(r, "good.example", &address), 0);
    EXPECT_EQ(address, ip("192.0.2.7"));

    EXPECT_EQ(settle(r, "missing.example", &address), -1);
    for (int i = 0; i < 3; ++i) {
        clock.advance(60000);
        EXPECT_EQ(r.resolve("missing.example", &address), -1);
        EXPECT_EQ(r.resolve("good.example", &address), 0);
    }
    EXPECT_EQ(lookup.calls("good.example"), 1);
    EXPECT_EQ(lookup.calls("missing.example"), 1);
    // Names compare byte for byte.
    EXPECT_EQ(r.resolve("GOOD.example", &address), 1);
}

TEST(AsyncResolver, AFullCacheOfPendingNamesRefusesMore)
{
    ScriptedLookup lookup;
    for (int i = 0; i < 65; ++i)
        lookup.answer(hostName(i), htonl(0x0A000000u + uint32_t(i)));
    lookup.hold();
    ManualClock clock;
    AsyncResolver r(64, clock, lookup.function());
    uint32_t address = 0;
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(r.resolve(hostName(i).c_str(), &address), 1) << i;
    EXPECT_EQ(r.resolve(hostName(64).c_str(), &address), -1);
    EXPECT_EQ(r.resolve(hostName(5).c_str(), &address), 1);
    EXPECT_TRUE(r.passRunning());

    lookup.open();
    // A pass may have gone by a slot before it was filed; asking again starts the next one.
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(settle(r, hostName(i), &address), 0) << i;
        EXPECT_EQ(address, htonl(0x0A000000u + uint32_t(i)));
    }
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(lookup.calls(hostName(i)), 1) << i;
    // Now every slot is done, so the 65th name takes one.
    EXPECT_EQ(settle(r, hostName(64), &address), 0);
}

TEST(AsyncResolver, ReusesTheSlotAskedForLeastRecently)
{
    ScriptedLookup lookup;
    ManualClock clock(5000);
    AsyncResolver r(3, clock, lookup.function());
    uint32_t address = 0;
    for (int i = 0; i < 3; ++i) {
        lookup.answer(hostName(i), htonl(uint32_t(i + 1)));
        ASSERT_EQ(settle(r, hostName(i), &address), 0);
        clock.advance(1000);
    }
    // host0 is asked again, so host1 is now the least recently used.
    ASSERT_EQ(r.resolve(hostName(0).c_str(), &address), 0);
    clock.advance(1000);
    lookup.answer("new.example", htonl(99));
    ASSERT_EQ(settle(r, "new.example", &address), 0);

    EXPECT_EQ(r.resolve(hostName(0).c_str(), &address), 0);
    EXPECT_EQ(r.resolve(hostName(2).c_str(), &address), 0);
    EXPECT_EQ(settle(r, hostName(1), &address), 0); // looked up again
    EXPECT_EQ(lookup.calls(hostName(1)), 2);
    EXPECT_EQ(lookup.calls(hostName(0)), 1);
}

TEST(AsyncResolver, RefusesNamesItCannotHoldWhole)
{
    ScriptedLookup lookup;
    AsyncResolver r(2, steadyClock(), lookup.function());
    uint32_t address = 0;
    EXPECT_EQ(r.resolve("", &address), -1);
    EXPECT_EQ(r.resolve(std::string(256, 'a').c_str(), &address), -1);
    EXPECT_EQ(settle(r, std::string(255, 'a'), &address), -1); // fits; not found
    EXPECT_EQ(lookup.totalCalls(), 1);
}

TEST(AsyncResolver, SystemLookupFindsLocalhost)
{
    EXPECT_EQ(lookupHostIPv4("localhost"), ip("127.0.0.1"));
    AsyncResolver r(64);
    uint32_t address = 0;
    EXPECT_EQ(settle(r, "localhost", &address), 0);
    EXPECT_EQ(address, ip("127.0.0.1"));

    EXPECT_EQ(parseDottedIPv4("127.0.0.1"), ip("127.0.0.1"));
    EXPECT_EQ(parseDottedIPv4("127.0.0"), kNoAddress);
    EXPECT_EQ(parseDottedIPv4("localhost"), kNoAddress);
    EXPECT_EQ(parseDottedIPv4("300.1.1.1"), kNoAddress);
}

TEST(AsyncResolver, DestroyWaitsForTheRunningLookup)
{
    ScriptedLookup lookup;
    lookup.hold();
    std::thread opener;
    {
        AsyncResolver r(4, steadyClock(), lookup.function());
        uint32_t address = 0;
        ASSERT_EQ(r.resolve("a.example", &address), 1);
        ASSERT_EQ(r.resolve("b.example", &address), 1);
        // The lookup thread is inside the held lookup before destruction
        // starts; it is let go only once destruction may already be waiting.
        while (lookup.totalCalls() == 0)
            std::this_thread::yield();
        opener = std::thread([&lookup] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            lookup.open();
        });
    }
    opener.join();
    EXPECT_GE(lookup.totalCalls(), 1);
}
