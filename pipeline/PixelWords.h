// Whole-pixel word helpers shared by the reference and the fast picture
// paths: unaligned 32-bit loads and stores, and the per-byte halving of the
// deinterlace blends, which never borrows from a neighbouring byte.
#pragma once

#include <cstdint>
#include <cstring>

namespace moxel::pixel {

inline uint32_t load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void store32(uint8_t* p, uint32_t v)
{
    std::memcpy(p, &v, 4);
}

inline uint32_t half(uint32_t p)
{
    return (p >> 1) & 0x7F7F7F7Fu;
}
inline uint32_t avg(uint32_t p, uint32_t q)
{
    return half(p) + half(q);
}

} // namespace moxel::pixel
