#include "profiles/TextNumbers.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace moxel {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

int32_t parseLeadingInt32(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    uint32_t value = 0; // unsigned arithmetic wraps modulo 2^32 by definition
    for (; i < text.size() && isDigit(text[i]); ++i)
        value = value * 10u + uint32_t(text[i] - '0');
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}

double parseLeadingDouble(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::string_view rest = text.substr(i);
    // from_chars would also take "inf", "nan" and a sign of its own; a
    // decimal number starts with a digit or with '.' and a digit.
    bool startsNumber = !rest.empty() &&
                        (isDigit(rest[0]) || (rest[0] == '.' && rest.size() > 1 && isDigit(rest[1])));
    if (!startsNumber)
        return 0.0;
    double value = 0.0;
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value,
                                     std::chars_format::general);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Tell overflow from underflow by the exponent's sign, as strtod does.
        size_t e = rest.find_first_of("eE");
        bool tiny = e != std::string_view::npos && e + 1 < rest.size() && rest[e + 1] == '-';
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

std::string formatFixed(double value, int decimals)
{
    char buffer[400]; // the widest double in fixed notation has 309 digits before the point
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc())
        return "0";
    return std::string(buffer, end);
}

} // namespace moxel
