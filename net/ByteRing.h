// A fixed-size ring of bytes: a read position and a count, wrapping at the
// end. Used for a connection's send and receive buffers; one thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace moxel {

class ByteRing {
  public:
    explicit ByteRing(size_t size);

    size_t size() const { return m_size; }
    size_t count() const { return m_count; }
    size_t space() const { return m_size - m_count; }
    size_t readPos() const { return m_readPos; }
    size_t writePos() const { return (m_readPos + m_count) % (m_size ? m_size : 1); }

    // Copies all of bytes in, wrapping; false (nothing copied) when they do not fit.
    bool push(const uint8_t* bytes, size_t n);
    // Copies up to n of the oldest bytes out without consuming them; a null
    // buffer only counts. Returns the number of bytes.
    size_t peek(uint8_t* buffer, size_t n) const;
    // Drops up to n of the oldest bytes.
    void consume(size_t n);

    // The oldest bytes that lie in one piece (up to the end of the array).
    const uint8_t* readSpan(size_t* length) const;
    // The free room that lies in one piece at the write position.
    uint8_t* writeSpan(size_t* length);
    // n bytes were stored into writeSpan().
    void commit(size_t n);

    // Empties the ring and zero-fills it.
    void clear();

  private:
    std::unique_ptr<uint8_t[]> m_bytes;
    size_t m_size;
    size_t m_readPos = 0;
    size_t m_count = 0;
};

} // namespace moxel
