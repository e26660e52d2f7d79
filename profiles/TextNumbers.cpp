#include "profiles/TextNumbers.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace moxel {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Drops leading blanks and a sign from text; true when the sign was '-'.
bool takeSign(std::string_view& text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '+' || negative))
        text.remove_prefix(1);
    return negative;
}

} // namespace

int32_t parseLeadingInt32(std::string_view text)
{
    bool negative = takeSign(text);
    uint32_t value = 0; // unsigned arithmetic wraps modulo 2^32 by definition
    for (size_t i = 0; i < text.size() && isDigit(text[i]); ++i)
        value = value * 10u + uint32_t(text[i] - '0');
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}

double parseLeadingDouble(std::string_view text)
{
    bool negative = takeSign(text);
    // from_chars would also take "inf", "nan" and a sign of its own; a
    // decimal number starts with a digit or with '.' and a digit.
    bool startsNumber = !text.empty() && (isDigit(text[0]) ||
                                          (text[0] == '.' && text.size() > 1 && isDigit(text[1])));
    if (!startsNumber)
        return 0.0;
    double value = 0.0;
    auto ec =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general)
            .ec;
    if (ec == std::errc::result_out_of_range) {
        // Tell overflow from underflow by the exponent's sign, as strtod does.
        size_t e = text.find_first_of("eE");
        bool tiny = e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == '-';
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

std::string formatFixed(double value, int decimals)
{
    char buffer[400]; // the widest double in fixed notation has 309 digits before the point
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc())
        return "0";
    return std::string(buffer, end);
}

} // namespace moxel
