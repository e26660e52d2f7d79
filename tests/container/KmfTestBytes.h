// Byte helpers shared by the container tests: the serialised bytes of a
// writer, and little-endian appends for writing expected layouts by hand.
#pragma once

#include "container/KmfBitWriter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace moxel::test {

inline std::vector<uint8_t> bytesOf(const KmfBitWriter& w)
{
    if (w.length() == 0)
        return {};
    return {w.data(), w.data() + w.length()};
}

inline void putLe(std::vector<uint8_t>& v, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        v.push_back(uint8_t(value >> (8 * i)));
}

inline void putText(std::vector<uint8_t>& v, const std::string& s)
{
    v.insert(v.end(), s.begin(), s.end());
}

// A payload whose bytes differ from their neighbours, so misplaced copies show.
inline std::vector<uint8_t> pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 7 + (i >> 8));
    return v;
}

} // namespace moxel::test
