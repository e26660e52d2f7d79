// Little-endian 16-bit sample access shared by the audio chain; the blocks
// come from decoders and need not be aligned.
#pragma once

#include <cstdint>

namespace moxel::pcm {

inline int16_t load16(const uint8_t* p)
{
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

// Stores the low 16 bits of v.
inline void store16(uint8_t* p, int v)
{
    const auto u = static_cast<uint16_t>(v);
    p[0] = static_cast<uint8_t>(u & 0xFF);
    p[1] = static_cast<uint8_t>(u >> 8);
}

} // namespace moxel::pcm
