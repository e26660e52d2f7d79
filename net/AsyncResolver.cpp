#include "net/AsyncResolver.h"

#include "base/DiagnosticSink.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <system_error>

namespace moxel {

uint32_t lookupHostIPv4(const char* name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found)
        return kNoAddress;
    uint32_t address = kNoAddress;
    for (addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr) {
            address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
            break;
        }
    }
    freeaddrinfo(found);
    return address;
}

uint32_t parseDottedIPv4(const char* text)
{
    in_addr value{};
    if (!text || inet_pton(AF_INET, text, &value) != 1)
        return kNoAddress;
    return value.s_addr;
}

AsyncResolver::AsyncResolver(int count, Clock& clock, HostLookup lookup)
    : m_entries(std::make_unique<Entry[]>(size_t(count > 0 ? count : 0))),
      m_count(count > 0 ? count : 0), m_clock(clock), m_lookup(std::move(lookup))
{
}

AsyncResolver::~AsyncResolver()
{
    m_idle.store(1, std::memory_order_release);
    if (m_thread.joinable())
        m_thread.join();
}

uint32_t AsyncResolver::nowSeconds() const
{
    // 0 marks a free slot, so a request is never stamped with it.
    uint32_t seconds = uint32_t(m_clock.nowMs() / 1000);
    return seconds == 0 ? 1 : seconds;
}

int AsyncResolver::resolve(const char* name, uint32_t* address)
{
    if (uint32_t dotted = parseDottedIPv4(name); dotted != kNoAddress) {
        *address = dotted;
        return 0;
    }
    // A name cut to fit the slot would be another host's name.
    if (!name || !*name || std::strlen(name) > size_t(kResolverNameMax))
        return -1;

    for (int i = 0; i < m_count; ++i) {
        Entry& e = m_entries[size_t(i)];
        uint8_t state = e.state.load(std::memory_order_acquire);
        if (state == Free || std::strcmp(e.name, name) != 0)
            continue;
        e.lastUsed = nowSeconds();
        if (state == Pending) {
            startPass();
            return 1;
        }
        if (e.address == kNoAddress)
            return -1;
        *address = e.address;
        return 0;
    }

    Entry* chosen = nullptr;
    for (int i = 0; i < m_count; ++i) {
        Entry& e = m_entries[size_t(i)];
        uint8_t state = e.state.load(std::memory_order_acquire);
        if (state == Free) {
            chosen = &e;
            break;
        }
        if (state == Done && (!chosen || e.lastUsed < chosen->lastUsed))
            chosen = &e;
    }
    if (!chosen)
        return -1;

    std::memcpy(chosen->name, name, std::strlen(name) + 1);
    chosen->address = kNoAddress;
    chosen->lastUsed = nowSeconds();
    chosen->state.store(Pending, std::memory_order_release);
    startPass();
    return 1;
}

void AsyncResolver::startPass()
{
    if (m_idle.load(std::memory_order_acquire) != 1)
        return;
    if (m_thread.joinable())
        m_thread.join();
    m_idle.store(0, std::memory_order_release);
    try {
        m_thread = std::thread(carryDiagnosticSink([this] { runPass(); }));
    } catch (const std::system_error&) {
        m_idle.store(1, std::memory_order_release);
    }
}

void AsyncResolver::runPass()
{
    for (int i = 0; i < m_count && m_idle.load(std::memory_order_acquire) == 0; ++i) {
        Entry& e = m_entries[size_t(i)];
        if (e.state.load(std::memory_order_acquire) != Pending)
            continue;
        uint32_t found = kNoAddress;
        try {
            found = m_lookup(e.name);
        } catch (...) {
            found = kNoAddress;
        }
        e.address = found;
        e.state.store(Done, std::memory_order_release);
    }
    m_idle.store(1, std::memory_order_release);
}

} // namespace moxel
