#include "container/FourCC.h"
#include "container/FrameRateCode.h"
#include "container/KmfBitWriter.h"
#include "container/KmfFrame.h"

#include "KmfTestBytes.h"

#include <gtest/gtest.h>

#include <vector>

using namespace moxel;
using moxel::test::bytesOf;
using moxel::test::pattern;
using moxel::test::putLe;

namespace {

KmfFrame validFrame()
{
    KmfFrame f;
    f.setInfo(kFourCCRgb3, 4, 2, 25.0);
    f.audioFormat = kFourCCPcm;
    return f;
}

// Packs f into a fresh writer; the frame's bytes, or nothing when rejected.
std::vector<uint8_t> pack(const KmfFrame& f, int* result = nullptr)
{
    KmfBitWriter w;
    int r = f.packet(w);
    if (result)
        *result = r;
    EXPECT_EQ(w.bitPos() % 8, 0u) << "a frame ends on a byte boundary";
    return bytesOf(w);
}

} // namespace

TEST(KmfFrame, SyncHeaderLayout)
{
    KmfFrame f = validFrame();
    f.isSync = true;
    f.syncOffset = -40;
    uint8_t video[3] = {1, 2, 3};
    uint8_t audio[2] = {9, 8};
    f.videoData = video;
    f.videoLength = 3;
    f.audioData = audio;
    f.audioLength = 2;
    KmfBitWriter w;
    ASSERT_EQ(f.packet(w), 0);
    std::vector<uint8_t> expect = {'K', 'M', 'F', 's', 'R', 'G', 'B', '3',  'P',  'C',
                                   'M', ' ', 4,   0,   2,   0,   25,  0xD8, 0xFF, 0x30,
                                   0,   0,   2,   0,   1,   2,   3,   9,    8};
    EXPECT_EQ(bytesOf(w), expect);
}

TEST(KmfFrame, NonSyncHeaderIsSevenBytes)
{
    KmfFrame f = validFrame();
    KmfBitWriter w;
    ASSERT_EQ(f.packet(w), 0);
    std::vector<uint8_t> expect = {0xEF, 0xBE, 0, 0, 0, 0, 0};
    EXPECT_EQ(bytesOf(w), expect);
}

TEST(KmfFrame, HeaderOnlySyncFrameIsTwentyFourBytes)
{
    KmfFrame f = validFrame();
    f.isSync = true;
    f.width = 65535;
    f.height = 1;
    std::vector<uint8_t> expect = {'K',  'M',  'F', 's', 'R', 'G', 'B', '3', 'P', 'C', 'M', ' ',
                                   0xFF, 0xFF, 1,   0,   25,  0,   0,   0,   0,   0,   0,   0};
    EXPECT_EQ(pack(f), expect);
}

TEST(KmfFrame, LengthLimits)
{
    const auto video = pattern(kKmfMaxVideoLength + 1, 1);
    const auto audio = pattern(kKmfMaxAudioLength + 1, 2);
    const struct {
        int videoLength, audioLength;
        bool accepted;
    } cases[] = {
        {524288, 32768, true}, {524289, 0, false}, {0, 32769, false}, {524289, 32769, false},
        {0, 0, true},          {-1, 0, false},     {0, -1, false},    {1, 1, true},
    };
    for (int sync = 0; sync < 2; ++sync) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "sync " << sync << " video " << c.videoLength
                                            << " audio " << c.audioLength);
            KmfFrame f = validFrame();
            f.isSync = sync != 0;
            f.videoData = video.data();
            f.videoLength = c.videoLength;
            f.audioData = audio.data();
            f.audioLength = c.audioLength;
            int r = 0;
            std::vector<uint8_t> bytes = pack(f, &r);
            EXPECT_EQ(r, c.accepted ? 0 : -1);
            if (!c.accepted) {
                EXPECT_TRUE(bytes.empty());
                continue;
            }
            size_t header = sync ? kKmfSyncHeaderSize : kKmfNonSyncHeaderSize;
            ASSERT_EQ(bytes.size(), header + c.videoLength + c.audioLength);
            uint32_t field = bytes[header - 5] | bytes[header - 4] << 8 | bytes[header - 3] << 16;
            EXPECT_EQ(field, uint32_t(c.videoLength) << 4);
            EXPECT_EQ(bytes[header - 2] | bytes[header - 1] << 8, c.audioLength);
            EXPECT_TRUE(
                std::equal(video.begin(), video.begin() + c.videoLength, bytes.begin() + header));
            EXPECT_TRUE(std::equal(audio.begin(), audio.begin() + c.audioLength,
                                   bytes.begin() + header + c.videoLength));
        }
    }
}

TEST(KmfFrame, PictureSizeLimitsHoldForEveryFrameKind)
{
    const struct {
        int width, height;
        bool accepted;
    } cases[] = {
        {65535, 65535, true}, {65536, 1, false}, {1, 65536, false},
        {0, 0, true},         {-1, 1, false},    {1, -1, false},
    };
    for (int sync = 0; sync < 2; ++sync) {
        for (const auto& c : cases) {
            KmfFrame f = validFrame();
            f.isSync = sync != 0;
            f.width = c.width;
            f.height = c.height;
            int r = 0;
            pack(f, &r);
            EXPECT_EQ(r, c.accepted ? 0 : -1)
                << "sync " << sync << " " << c.width << "x" << c.height;
        }
    }
}

TEST(KmfFrame, FormatsMustBeValidFourCCs)
{
    const struct {
        uint32_t code;
        bool valid;
    } cases[] = {
        {kFourCCNone, true},
        {kFourCCPcm, true},
        {makeFourCC("a-._"), true},
        {makeFourCC("AB C"), true},
        {makeFourCC("9zZ0"), true},
        {0, false},
        {makeFourCC(" RGB"), false},
        {makeFourCC("RG\x01"
                    "B"),
         false},
        {makeFourCC("RGB\x7F"), false},
        {makeFourCC("RG/B"), false},
        {makeFourCC('R', 'G', 'B', char(0xC3)), false},
        {makeFourCC("RGB\0"), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isValidFourCC(c.code), c.valid) << std::hex << c.code;
        for (int which = 0; which < 2; ++which) {
            KmfFrame f = validFrame();
            f.isSync = true;
            (which ? f.videoFormat : f.audioFormat) = c.code;
            int r = 0;
            pack(f, &r);
            EXPECT_EQ(r, c.valid ? 0 : -1) << (which ? "video " : "audio ") << std::hex << c.code;
        }
    }
}

TEST(KmfFrame, SyncOffsetIsWrittenAsItsLowSixteenBits)
{
    const struct {
        int offsetMs;
        uint16_t field;
    } cases[] = {{0, 0},          {-40, 0xFFD8},    {-1, 0xFFFF},
                 {32767, 0x7FFF}, {-32768, 0x8000}, {65536 + 5, 5}};
    for (const auto& c : cases) {
        KmfFrame f = validFrame();
        f.isSync = true;
        f.syncOffset = c.offsetMs;
        std::vector<uint8_t> bytes = pack(f);
        ASSERT_EQ(bytes.size(), 24u);
        EXPECT_EQ(bytes[17] | bytes[18] << 8, c.field) << c.offsetMs;
    }
}

TEST(KmfFrame, AuxChunksShareTheTwentyBitLengthWithTheVideo)
{
    const std::vector<uint8_t> aux0 = {0xA1, 0xA2, 0xA3};
    const uint8_t video[5] = {0x51, 0x52, 0x53, 0x54, 0x55};
    const uint8_t audio[1] = {0x77};
    KmfFrame f = validFrame();
    f.auxCount = 2;
    f.auxData[0] = aux0.data();
    f.auxLength[0] = 3;
    f.auxType[0] = makeFourCC("TXT ");
    f.auxData[1] = nullptr; // an empty chunk needs no bytes
    f.auxLength[1] = 0;
    f.auxType[1] = 0x01020304; // aux types are not checked
    f.videoData = video;
    f.videoLength = 5;
    f.audioData = audio;
    f.audioLength = 1;

    // Count 2 in the low nibble; 5 video + (3 + 6) + (0 + 6) aux = 20 above it.
    std::vector<uint8_t> expect = {0xEF, 0xBE, 0x42, 0x01, 0x00, 0x01, 0x00};
    putLe(expect, 3, 2);
    putLe(expect, makeFourCC("TXT "), 4);
    expect.insert(expect.end(), aux0.begin(), aux0.end());
    putLe(expect, 0, 2);
    putLe(expect, 0x01020304, 4);
    expect.insert(expect.end(), video, video + 5);
    expect.push_back(0x77);
    EXPECT_EQ(pack(f), expect);
}

TEST(KmfFrame, FifteenFullAuxChunksWithFullVideoStillFit)
{
    const auto video = pattern(kKmfMaxVideoLength, 5);
    const auto aux = pattern(kKmfMaxAuxLength + 1, 9);
    KmfFrame f = validFrame();
    f.isSync = true;
    f.videoData = video.data();
    f.videoLength = kKmfMaxVideoLength;
    f.auxCount = 15;
    for (int i = 0; i < 15; ++i) {
        f.auxData[i] = aux.data();
        f.auxLength[i] = kKmfMaxAuxLength;
        f.auxType[i] = makeFourCC("AUX0") + (uint32_t(i) << 24);
    }
    std::vector<uint8_t> bytes = pack(f);
    const uint32_t lengthField = 15 | uint32_t(kKmfMaxVideoLength + 15 * (kKmfMaxAuxLength + 6))
                                          << 4;
    ASSERT_EQ(bytes.size(), 24u + 15 * (kKmfMaxAuxLength + 6) + kKmfMaxVideoLength);
    EXPECT_EQ(bytes[19] | bytes[20] << 8 | bytes[21] << 16, lengthField);
    EXPECT_LT(lengthField >> 4, 1u << 20);
    EXPECT_EQ(bytes[24] | bytes[25] << 8, kKmfMaxAuxLength);

    const struct {
        int count, lastLength;
        bool accepted;
    } limits[] = {
        {15, 32768, true}, {15, 32769, false}, {16, 0, false}, {-1, 0, false}, {1, -1, false}};
    for (const auto& c : limits) {
        KmfFrame g = f;
        g.auxCount = c.count;
        if (c.count > 0 && c.count <= 15)
            g.auxLength[c.count - 1] = c.lastLength;
        int r = 0;
        pack(g, &r);
        EXPECT_EQ(r, c.accepted ? 0 : -1) << "count " << c.count << " length " << c.lastLength;
    }
}

TEST(KmfFrame, RejectedFrameLeavesTheWriterUntouched)
{
    KmfBitWriter w;
    KmfFrame good = validFrame();
    ASSERT_EQ(good.packet(w), 0);
    const std::vector<uint8_t> before = bytesOf(w);
    const uint64_t bitPos = w.bitPos();

    const uint8_t byte = 1;
    KmfFrame bad[7];
    for (KmfFrame& b : bad)
        b = validFrame();
    bad[0].width = 65536;
    bad[1].frameRateCode = 0;
    bad[2].audioFormat = 0;
    bad[3].videoLength = kKmfMaxVideoLength + 1;
    bad[3].videoData = &byte;
    bad[4].auxCount = 16;
    bad[5].videoLength = 1; // no bytes behind the length
    bad[6].auxCount = 1;
    bad[6].auxLength[0] = 1;
    for (const KmfFrame& b : bad) {
        EXPECT_EQ(b.packet(w), -1);
        EXPECT_EQ(bytesOf(w), before);
        EXPECT_EQ(w.bitPos(), bitPos);
    }
}

TEST(KmfFrame, HalfFramePerSecondStreamIsRejected)
{
    KmfFrame f = validFrame();
    f.setInfo(kFourCCRgb3, 4, 2, 0.5);
    EXPECT_EQ(f.frameRateCode, 0);
    int r = 0;
    pack(f, &r);
    EXPECT_EQ(r, -1);
}

TEST(KmfFrame, FramesFollowEachOtherWithoutPadding)
{
    KmfFrame sync = validFrame();
    sync.isSync = true;
    const uint8_t audio[3] = {1, 2, 3};
    sync.audioData = audio;
    sync.audioLength = 3;
    KmfFrame plain = sync;
    plain.isSync = false;
    KmfBitWriter w;
    ASSERT_EQ(sync.packet(w), 0);
    ASSERT_EQ(plain.packet(w), 0);
    ASSERT_EQ(sync.packet(w), 0);
    w.finish();
    ASSERT_EQ(w.length(), 27u + 10u + 27u);
    EXPECT_EQ(w.data()[27], 0xEF);
    EXPECT_EQ(w.data()[37], 'K');
}

TEST(KmfFrame, PacketAfterPartialBitsShiftsTheWholeFrame)
{
    KmfFrame f = validFrame();
    f.isSync = true;
    const auto video = pattern(40, 1);
    f.videoData = video.data();
    f.videoLength = 40;
    const std::vector<uint8_t> alone = pack(f);
    for (int bits = 1; bits < 8; ++bits) {
        KmfBitWriter shifted, reference;
        shifted.putBits(bits, 0x2A);
        reference.putBits(bits, 0x2A);
        ASSERT_EQ(f.packet(shifted), 0);
        reference.putData(int64_t(alone.size()) * 8, alone.data());
        shifted.finish();
        reference.finish();
        EXPECT_EQ(bytesOf(shifted), bytesOf(reference)) << bits << " bits before the frame";
    }
}
