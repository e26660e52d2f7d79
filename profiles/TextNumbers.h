// Number conversions shared by the profile files and the settings file. They
// never depend on the process locale (the GUI sets one), so a profile written
// under one language reads back the same under any other.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace moxel {

// Leading blanks, an optional sign and decimal digits, stopping at the first
// other character; the number is taken modulo 2^32 and seen as a signed
// 32-bit value ("4294967196" -> -100). Text without digits gives 0.
int32_t parseLeadingInt32(std::string_view text);

// Leading blanks, an optional sign, digits with an optional fraction and
// exponent, stopping at the first other character; no number gives 0.0.
// Only decimal text is taken ("inf", "nan" and hex give 0.0); a value too
// large for a double gives +/-HUGE_VAL.
double parseLeadingDouble(std::string_view text);

// value with a fixed number of decimals and a '.' as decimal point, as
// printf("%.*f") gives it in the C locale.
std::string formatFixed(double value, int decimals);

} // namespace moxel
