#include "net/ByteRing.h"

#include <algorithm>
#include <cstring>

namespace moxel {

ByteRing::ByteRing(size_t size) : m_bytes(std::make_unique<uint8_t[]>(size)), m_size(size) {}

bool ByteRing::push(const uint8_t* bytes, size_t n)
{
    if (n > space())
        return false;
    size_t at = writePos();
    size_t first = std::min(n, m_size - at);
    if (first)
        std::memcpy(m_bytes.get() + at, bytes, first);
    if (n > first)
        std::memcpy(m_bytes.get(), bytes + first, n - first);
    m_count += n;
    return true;
}

size_t ByteRing::peek(uint8_t* buffer, size_t n) const
{
    n = std::min(n, m_count);
    if (buffer && n) {
        size_t first = std::min(n, m_size - m_readPos);
        std::memcpy(buffer, m_bytes.get() + m_readPos, first);
        if (n > first)
            std::memcpy(buffer + first, m_bytes.get(), n - first);
    }
    return n;
}

void ByteRing::consume(size_t n)
{
    n = std::min(n, m_count);
    if (!n)
        return;
    m_readPos = (m_readPos + n) % m_size;
    m_count -= n;
}

const uint8_t* ByteRing::readSpan(size_t* length) const
{
    *length = std::min(m_count, m_size - m_readPos);
    return m_bytes.get() + m_readPos;
}

uint8_t* ByteRing::writeSpan(size_t* length)
{
    size_t at = writePos();
    *length = std::min(space(), m_size - at);
    return m_bytes.get() + at;
}

void ByteRing::commit(size_t n)
{
    m_count += std::min(n, space());
}

void ByteRing::clear()
{
    if (m_size)
        std::memset(m_bytes.get(), 0, m_size);
    m_readPos = 0;
    m_count = 0;
}

} // namespace moxel
