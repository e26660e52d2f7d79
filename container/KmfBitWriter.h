// A growable byte buffer with bit-level appending, least significant bit
// first. Every serialiser of the container writes into one; multi-byte
// fields that start on a byte boundary come out little-endian.
//
// Growth: when a new length exceeds the capacity, the capacity becomes twice
// the new length. After finish() the serialised bytes are data()[0, length()).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace moxel {

class KmfBitWriter {
  public:
    // Appends the low `count` bits of value (count <= 0 appends nothing, at most 32).
    void putBits(int count, uint32_t value);
    // Appends bitCount bits from bytes, each byte least significant bit first.
    void putData(int64_t bitCount, const uint8_t* bytes);
    // Appends n whole bytes; valid only on a byte boundary. Returns their offset.
    size_t appendBytes(const uint8_t* bytes, size_t n);
    // Stores a partial byte (high bits zero) and rounds bitPos up to whole bytes.
    void finish();
    // Empties the writer but keeps its storage, so one writer can serve many frames.
    void clear();
    // Makes room for a total of newLength bytes at once, by the same growth
    // rule, so a serialiser that knows its size allocates only once.
    void reserve(size_t newLength) { reserveFor(newLength); }

    const uint8_t* data() const { return m_data.get(); }
    size_t length() const { return m_length; }
    size_t capacity() const { return m_capacity; }
    uint64_t bitPos() const { return m_bitPos; }

  private:
    void reserveFor(size_t newLength);
    void storeByte(uint8_t b);

    std::unique_ptr<uint8_t[]> m_data; // null until the first byte is stored
    size_t m_capacity = 0;
    size_t m_length = 0;
    uint64_t m_bitPos = 0;
    uint8_t m_partial = 0;
};

} // namespace moxel
