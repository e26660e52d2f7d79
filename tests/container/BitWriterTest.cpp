#include "container/KmfBitWriter.h"

#include "KmfTestBytes.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace moxel;
using moxel::test::bytesOf;

namespace {

struct BitsCase {
    const char* name;
    std::vector<std::pair<int, uint32_t>> puts;
    uint64_t bitPosBeforeFinish;
    std::vector<uint8_t> bytesAfterFinish;
};

} // namespace

TEST(KmfBitWriter, PacksLeastSignificantBitFirstAcrossBytes)
{
    const BitsCase cases[] = {
        {"nibbles straddle bytes", {{4, 0xA}, {8, 0xBC}, {4, 0xD}}, 16, {0xCA, 0xDB}},
        {"odd widths", {{3, 5}, {5, 0x1F}, {1, 1}}, 9, {0xFD, 0x01}},
        {"bits above count ignored", {{4, 0xFFFFFFF3}}, 4, {0x03}},
        {"zero and negative counts append nothing", {{0, 0xFF}, {-3, 0xFF}, {8, 0x11}}, 8, {0x11}},
        {"32 bits little-endian", {{32, 0x12345678}}, 32, {0x78, 0x56, 0x34, 0x12}},
        {"32 bits off a boundary",
         {{4, 0x1}, {32, 0xABCDEF98}},
         36,
         {0x81, 0xF9, 0xDE, 0xBC, 0x0A}},
        {"24 bits then 16", {{24, 0x00ABCDEF}, {16, 0xBEEF}}, 40, {0xEF, 0xCD, 0xAB, 0xEF, 0xBE}},
        {"single bits",
         {{1, 1}, {1, 0}, {1, 1}, {1, 1}, {1, 0}, {1, 0}, {1, 0}, {1, 1}, {1, 1}},
         9,
         {0x8D, 0x01}},
    };
    for (const BitsCase& c : cases) {
        SCOPED_TRACE(c.name);
        KmfBitWriter w;
        for (auto [count, value] : c.puts)
            w.putBits(count, value);
        EXPECT_EQ(w.bitPos(), c.bitPosBeforeFinish);
        EXPECT_EQ(w.length(), c.bitPosBeforeFinish / 8);
        w.finish();
        EXPECT_EQ(bytesOf(w), c.bytesAfterFinish);
        EXPECT_EQ(w.bitPos(), w.length() * 8);
    }
}

TEST(KmfBitWriter, FinishIsIdempotentAndAddsNothingOnABoundary)
{
    KmfBitWriter w;
    w.finish();
    EXPECT_EQ(w.length(), 0u);
    EXPECT_EQ(w.data(), nullptr);
    w.putBits(16, 0x1234);
    w.finish();
    w.finish();
    EXPECT_EQ(bytesOf(w), (std::vector<uint8_t>{0x34, 0x12}));
}

TEST(KmfBitWriter, PutDataFastAndSlowPathsAgree)
{
    const std::vector<uint8_t> src = {0x12, 0x34, 0x56, 0xCD};
    // Aligned: whole bytes copied, the 4 leftover bits taken from the next byte.
    KmfBitWriter fast;
    fast.putData(28, src.data());
    EXPECT_EQ(fast.bitPos(), 28u);
    fast.finish();
    EXPECT_EQ(bytesOf(fast), (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x0D}));

    // Off a boundary every byte goes through putBits, shifted by 4 bits.
    KmfBitWriter slow;
    slow.putBits(4, 0xF);
    slow.putData(24, src.data());
    EXPECT_EQ(slow.bitPos(), 28u);
    slow.finish();
    EXPECT_EQ(bytesOf(slow), (std::vector<uint8_t>{0x2F, 0x41, 0x63, 0x05}));

    // Fewer than 8 bits on a boundary take the slow path too.
    KmfBitWriter few;
    few.putData(3, src.data() + 3);
    few.finish();
    EXPECT_EQ(bytesOf(few), (std::vector<uint8_t>{0x05}));

    KmfBitWriter none;
    none.putData(0, src.data());
    none.putData(-8, src.data());
    EXPECT_EQ(none.bitPos(), 0u);
}

TEST(KmfBitWriter, SlowPathMatchesBitByBitReference)
{
    std::vector<uint8_t> src = moxel::test::pattern(37, 3);
    for (int shift = 1; shift < 8; ++shift) {
        SCOPED_TRACE(shift);
        KmfBitWriter w, reference;
        w.putBits(shift, 0x55);
        reference.putBits(shift, 0x55);
        w.putData(int64_t(src.size()) * 8, src.data());
        for (uint8_t b : src)
            for (int i = 0; i < 8; ++i)
                reference.putBits(1, (b >> i) & 1u);
        w.finish();
        reference.finish();
        EXPECT_EQ(bytesOf(w), bytesOf(reference));
    }
}

TEST(KmfBitWriter, CapacityBecomesTwiceTheNewLength)
{
    KmfBitWriter w;
    EXPECT_EQ(w.capacity(), 0u);
    const size_t expectedCapacity[] = {2, 2, 6, 6, 6, 6, 14};
    for (size_t i = 0; i < std::size(expectedCapacity); ++i) {
        w.putBits(8, uint32_t(i));
        EXPECT_EQ(w.capacity(), expectedCapacity[i]) << "after byte " << i + 1;
    }
    std::vector<uint8_t> block(100, 0xAA);
    EXPECT_EQ(w.appendBytes(block.data(), block.size()), 7u);
    EXPECT_EQ(w.capacity(), 214u);
    EXPECT_EQ(w.bitPos(), 107u * 8);
    EXPECT_EQ(w.appendBytes(block.data(), 0), 107u);
    EXPECT_EQ(w.capacity(), 214u);

    // clear keeps the storage for the next frame.
    w.clear();
    EXPECT_EQ(w.length(), 0u);
    EXPECT_EQ(w.bitPos(), 0u);
    EXPECT_EQ(w.capacity(), 214u);
    w.putBits(4, 0x3);
    w.finish();
    EXPECT_EQ(bytesOf(w), (std::vector<uint8_t>{0x03}));
}
