#include "net/BroxMessage.h"

namespace moxel {

bool appendBroxMessage(std::vector<uint8_t>& out, uint16_t field, const void* payload,
                       size_t length)
{
    if (length > kBroxMaxPayload)
        return false;
    const uint8_t head[kBroxHeaderSize] = {kBroxMagic,           0x00,
                                           uint8_t(field >> 8),  uint8_t(field),
                                           uint8_t(length >> 8), uint8_t(length)};
    out.insert(out.end(), head, head + kBroxHeaderSize);
    const uint8_t* p = static_cast<const uint8_t*>(payload);
    if (length)
        out.insert(out.end(), p, p + length);
    out.push_back(0x00);
    return true;
}

bool parseBroxHeader(const uint8_t* bytes, BroxMessageHeader* header)
{
    if (bytes[0] != kBroxMagic)
        return false;
    header->second = bytes[1];
    header->field = uint16_t(bytes[2] << 8 | bytes[3]);
    header->length = uint16_t(bytes[4] << 8 | bytes[5]);
    return true;
}

} // namespace moxel
