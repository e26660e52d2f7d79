#include "container/KmfFileHeader.h"

#include "container/KmfBitWriter.h"

#include "KmfTestBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace moxel;
using moxel::test::bytesOf;
using moxel::test::putLe;
using moxel::test::putText;

namespace {

std::vector<uint8_t> serialised(KmfFileHeader& h, uint32_t minimumSize = 0)
{
    KmfBitWriter w;
    EXPECT_EQ(h.serialise(w, minimumSize), 0);
    w.finish();
    return bytesOf(w);
}

std::vector<uint8_t> fixedPart(uint32_t headerSize, uint32_t fileSize, uint32_t lengthMs,
                               uint32_t meta, uint32_t allocated, uint32_t used)
{
    std::vector<uint8_t> v;
    putText(v, "KMFf");
    for (uint32_t x : {headerSize, fileSize, lengthMs, meta, allocated, used})
        putLe(v, x, 4);
    return v;
}

uint32_t le32At(const std::vector<uint8_t>& v, size_t at)
{
    return v[at] | v[at + 1] << 8 | v[at + 2] << 16 | uint32_t(v[at + 3]) << 24;
}

} // namespace

TEST(KmfFileHeader, WithoutTocOrMetadataIsTwentyEightBytes)
{
    KmfFileHeader h;
    EXPECT_EQ(serialised(h), fixedPart(28, 28, 0, 0, 0, 0));
    EXPECT_EQ(h.headerSize, 28u);

    h.fileSize = 1000;
    h.lengthMs = 40;
    EXPECT_EQ(serialised(h), fixedPart(28, 1028, 40, 0, 0, 0));

    h.fileSize = -1;
    EXPECT_EQ(serialised(h), fixedPart(28, 0xFFFFFFFF, 40, 0, 0, 0));
}

TEST(KmfFileHeader, PlaceholderWithMetadataAndFullToc)
{
    KmfFileHeader h;
    h.metadata = {'a', 'b', 'c'};
    h.tocSize = 1024;
    std::vector<uint8_t> bytes = serialised(h);
    ASSERT_EQ(bytes.size(), 4127u);
    EXPECT_EQ(h.headerSize, 4127u);
    EXPECT_EQ(h.tocAllocated, 1024u) << "allocation is raised to the used count";
    std::vector<uint8_t> expect = fixedPart(4127, 4127, 0, 3, 1024, 1024);
    putText(expect, "abc");
    expect.resize(4127, 0); // every placeholder slot is 0
    EXPECT_EQ(bytes, expect);
}

TEST(KmfFileHeader, UnusedSlotsHoldAllOnes)
{
    KmfFileHeader h;
    h.tocAllocated = 5;
    h.tocSize = 3;
    h.toc = {10, 20, 30};
    h.fileSize = 500;
    std::vector<uint8_t> expect = fixedPart(48, 548, 0, 0, 5, 3);
    for (uint32_t slot : {10u, 20u, 30u, 0xFFFFFFFFu, 0xFFFFFFFFu})
        putLe(expect, slot, 4);
    EXPECT_EQ(serialised(h), expect);

    // Without a toc array (the placeholder) every allocated slot is 0.
    h.toc.clear();
    std::vector<uint8_t> placeholder = serialised(h);
    ASSERT_EQ(placeholder.size(), 48u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(le32At(placeholder, 28 + 4 * i), 0u) << "slot " << i;

    // A toc array shorter than the used count marks the missing slots unused.
    h.toc = {10};
    std::vector<uint8_t> shortToc = serialised(h);
    EXPECT_EQ(le32At(shortToc, 28), 10u);
    EXPECT_EQ(le32At(shortToc, 32), 0xFFFFFFFFu);
}

TEST(KmfFileHeader, MinimumSizePadsWithZeroBytes)
{
    KmfFileHeader h;
    h.metadata = {'x'};
    h.fileSize = 7;
    std::vector<uint8_t> bytes = serialised(h, 40);
    std::vector<uint8_t> expect = fixedPart(40, 47, 0, 1, 0, 0);
    expect.push_back('x');
    expect.resize(40, 0);
    EXPECT_EQ(bytes, expect);
    EXPECT_EQ(h.headerSize, 29u) << "the record keeps the unpadded size";

    EXPECT_EQ(serialised(h, 10).size(), 29u) << "a smaller minimum changes nothing";
}

TEST(KmfFileHeader, TocSamplesEvenlySpacedFrames)
{
    const struct {
        size_t frames;
        uint32_t slots;
        std::vector<size_t> picked; // frame indices; empty list means "all unused"
    } cases[] = {
        {10, 4, {0, 2, 5, 7}},
        {3, 5, {0, 0, 1, 1, 2}},
        {5, 5, {0, 1, 2, 3, 4}},
        {1, 3, {0, 0, 0}},
        {7, 1, {0}},
        {1000, 3, {0, 333, 666}},
        {0, 4, {}},
        {4, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.frames << " frames, " << c.slots << " slots");
        std::vector<uint32_t> positions;
        for (size_t i = 0; i < c.frames; ++i)
            positions.push_back(uint32_t(i * 100 + 1));
        std::vector<uint32_t> toc = buildToc(positions, c.slots);
        ASSERT_EQ(toc.size(), c.slots);
        for (uint32_t i = 0; i < c.slots; ++i)
            EXPECT_EQ(toc[i], c.picked.empty() ? kKmfTocUnused : positions[c.picked[i]])
                << "slot " << i;
    }
}
