#include "container/KmfBitWriter.h"

#include <cstring>

namespace moxel {

void KmfBitWriter::reserveFor(size_t newLength)
{
    if (newLength <= m_capacity)
        return;
    size_t capacity = newLength * 2;
    std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity]);
    if (m_length)
        std::memcpy(grown.get(), m_data.get(), m_length);
    m_data = std::move(grown);
    m_capacity = capacity;
}

void KmfBitWriter::storeByte(uint8_t b)
{
    reserveFor(m_length + 1);
    m_data[m_length++] = b;
}

void KmfBitWriter::putBits(int count, uint32_t value)
{
    if (count <= 0)
        return;
    if (count > 32)
        count = 32;
    // Whole bytes go straight through when we are on a byte boundary.
    if ((m_bitPos & 7) == 0 && count >= 8) {
        reserveFor(m_length + size_t(count / 8));
        while (count >= 8) {
            m_data[m_length++] = uint8_t(value);
            value = count > 8 ? value >> 8 : 0;
            count -= 8;
            m_bitPos += 8;
        }
    }
    for (int i = 0; i < count; ++i) {
        int bit = int(m_bitPos & 7);
        m_partial |= uint8_t(((value >> i) & 1u) << bit);
        ++m_bitPos;
        if ((m_bitPos & 7) == 0) {
            storeByte(m_partial);
            m_partial = 0;
        }
    }
}

void KmfBitWriter::putData(int64_t bitCount, const uint8_t* bytes)
{
    if (bitCount <= 0)
        return;
    if ((m_bitPos & 7) == 0 && bitCount >= 8) {
        size_t whole = size_t(bitCount / 8);
        appendBytes(bytes, whole);
        int rest = int(bitCount % 8);
        if (rest)
            putBits(rest, bytes[whole]);
        return;
    }
    while (bitCount > 0) {
        int n = bitCount >= 8 ? 8 : int(bitCount);
        putBits(n, *bytes++);
        bitCount -= n;
    }
}

size_t KmfBitWriter::appendBytes(const uint8_t* bytes, size_t n)
{
    size_t offset = m_length;
    if (n == 0)
        return offset;
    reserveFor(offset + n);
    std::memcpy(m_data.get() + offset, bytes, n);
    m_length += n;
    m_bitPos += uint64_t(n) * 8;
    return offset;
}

void KmfBitWriter::finish()
{
    if (m_bitPos & 7) {
        storeByte(m_partial);
        m_partial = 0;
        m_bitPos = (m_bitPos + 7) & ~uint64_t(7);
    }
}

void KmfBitWriter::clear()
{
    m_length = 0;
    m_bitPos = 0;
    m_partial = 0;
}

} // namespace moxel
