// FourCC codes: four characters in a uint32, the first character in the
// least significant byte, so they read in order when stored little-endian.
#pragma once

#include <cstdint>
#include <string>

namespace moxel {

constexpr uint32_t makeFourCC(char a, char b, char c, char d)
{
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
           uint32_t(uint8_t(d)) << 24;
}

constexpr uint32_t makeFourCC(const char (&s)[5])
{
    return makeFourCC(s[0], s[1], s[2], s[3]);
}

inline constexpr uint32_t kFourCCNone = makeFourCC("NONE");
inline constexpr uint32_t kFourCCRgb3 = makeFourCC("RGB3");
inline constexpr uint32_t kFourCCRgba = makeFourCC("RGBA");
inline constexpr uint32_t kFourCCPcm = makeFourCC("PCM ");

// Each byte an ASCII letter, digit, space, '-', '.' or '_'; the first not a space.
bool isValidFourCC(uint32_t code);

// The four characters as text; bytes that are not printable show as '?'.
std::string fourCCToString(uint32_t code);

} // namespace moxel
