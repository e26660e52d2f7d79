#include "container/FourCC.h"

namespace moxel {

namespace {
bool isFourCCChar(uint8_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
           c == '-' || c == '.' || c == '_';
}
} // namespace

bool isValidFourCC(uint32_t code)
{
    for (int i = 0; i < 4; ++i) {
        if (!isFourCCChar(uint8_t(code >> (8 * i))))
            return false;
    }
    return uint8_t(code) != ' ';
}

std::string fourCCToString(uint32_t code)
{
    std::string s(4, '?');
    for (int i = 0; i < 4; ++i) {
        uint8_t c = uint8_t(code >> (8 * i));
        if (c >= 0x20 && c < 0x7F)
            s[i] = char(c);
    }
    return s;
}

} // namespace moxel
