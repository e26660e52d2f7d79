#include "profiles/TextNumbers.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace moxel;

namespace {

TEST(TextNumbers, LeadingDouble)
{
    struct Case {
        const char* text;
        double expected;
    };
    const Case cases[] = {
        {"30.0", 30.0}, {" \t-2.5", -2.5}, {"+.5", 0.5}, {"1e3x", 1000.0}, {"1e", 1.0},
        {"5.", 5.0},    {".", 0.0},        {"-", 0.0},   {"", 0.0},        {"inf", 0.0},
        {"nan", 0.0},   {"0x10", 0.0},     {"1,5", 1.0}, {"1e-999", 0.0},  {"29.97", 29.97},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseLeadingDouble(c.text), c.expected) << '"' << c.text << '"';
    EXPECT_EQ(parseLeadingDouble("1e999"), HUGE_VAL);
    EXPECT_EQ(parseLeadingDouble("-1e999"), -HUGE_VAL);
}

} // namespace
