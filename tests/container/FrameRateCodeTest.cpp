#include "container/FrameRateCode.h"

#include <gtest/gtest.h>

using namespace moxel;

TEST(FrameRateCode, EncodesTheDocumentedExamples)
{
    const struct {
        double rate;
        uint8_t code;
    } cases[] = {
        {25.0, 0x19},   {30.0, 0x1E},
        {29.97, 0x81},  {30000.0 / 1001, 0x81},
        {23.976, 0x83}, {24000.0 / 1001, 0x83},
        {59.94, 0xC5},  {12.5, 0x86},
        {7.5, 0x8C},    {150.0, 0xD0},
        {128.0, 127},   {480.0, 0xFC},
        {5000.0, 0xFC}, {1000479.5, 0xFC},
        {1000480.5, 0}, {1e9, 0},
        {0.5, 0},       {0.0, 0},
        {-3.0, 0},      {1.0, 1},
        {127.0, 127},   {15.0, 15},
    };
    for (const auto& c : cases)
        EXPECT_EQ(int(encodeFrameRate(c.rate)), int(c.code)) << "rate " << c.rate;
}

TEST(FrameRateCode, DecodesBothHalvesOfTheCodeSpace)
{
    const struct {
        uint8_t code;
        double rate;
    } cases[] = {
        {0, 0.0},
        {25, 25.0},
        {127, 127.0},
        {0x80, 30.0},
        {0x81, 30000.0 / 1001},
        {0x83, 24000.0 / 1001},
        {0x86, 12.5},
        {0x8C, 7.5},
        {0xBF, 24000.0 / 1001 / 16},
        {0xC0, 30.0},
        {0xC5, 2 * 30000.0 / 1001},
        {0xFC, 480.0},
        {0xFF, 16 * 24000.0 / 1001},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(decodeFrameRate(c.code), c.rate) << "code " << int(c.code);
}

TEST(FrameRateCode, EveryDecodedRateEncodesToTheLowestCodeOfThatRate)
{
    for (int b = 1; b < 256; ++b) {
        uint8_t code = encodeFrameRate(decodeFrameRate(uint8_t(b)));
        EXPECT_LE(int(code), b);
        EXPECT_DOUBLE_EQ(decodeFrameRate(code), decodeFrameRate(uint8_t(b))) << "code " << b;
    }
}
