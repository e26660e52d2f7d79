// The brox wire message, shared by the stream output and the receiving tool:
//   0x5A, 0x00, class * 4096 + type (16 bits), payload length L (16 bits),
//   L payload bytes, 0x00 — multi-byte fields big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace moxel {

inline constexpr uint8_t kBroxMagic = 0x5A;
inline constexpr size_t kBroxHeaderSize = 6;
inline constexpr size_t kBroxOverhead = kBroxHeaderSize + 1; // header and trailing 0x00
inline constexpr size_t kBroxMaxPayload = 0xFFFF;
inline constexpr size_t kBroxDataSize = 8192; // payload of every data message

constexpr uint16_t broxField(int messageClass, int type)
{
    return uint16_t((messageClass & 0xF) << 12 | (type & 0xFFF));
}

inline constexpr uint16_t kBroxHeaderLine1 = broxField(1, 1);
inline constexpr uint16_t kBroxHeaderLine2 = broxField(1, 2);
inline constexpr uint16_t kBroxBufferInfo = broxField(1, 3);
inline constexpr uint16_t kBroxBlockInfo = broxField(1, 8);
inline constexpr uint16_t kBroxHeaderEnd = broxField(1, 4);
inline constexpr uint16_t kBroxData = broxField(7, 0x777);

struct BroxMessageHeader {
    uint8_t second = 0; // byte 1, 0x00 in messages this program sends
    uint16_t field = 0;
    uint16_t length = 0;
};

// Appends one whole message; false (nothing appended) when length > kBroxMaxPayload.
bool appendBroxMessage(std::vector<uint8_t>& out, uint16_t field, const void* payload,
                       size_t length);
// Reads the 6 header bytes at bytes; false when the first is not kBroxMagic.
bool parseBroxHeader(const uint8_t* bytes, BroxMessageHeader* header);

} // namespace moxel
