#include "container/FourCC.h"
#include "container/FrameRateCode.h"
#include "container/KmfBitWriter.h"
#include "container/KmfFrame.h"

#include <gtest/gtest.h>

#include <vector>

using namespace moxel;

namespace {

std::vector<uint8_t> bytesOf(const KmfBitWriter& w) { return {w.data(), w.data() + w.length()}; }

KmfFrame validFrame()
{
    KmfFrame f;
    f.setInfo(kFourCCRgb3, 4, 2, 25.0);
    f.audioFormat = kFourCCPcm;
    return f;
}

} // namespace

TEST(KmfFrame, SyncHeaderLayout)
{
    KmfFrame f = validFrame();
    f.isSync = 1;
    f.syncOffset = -40;
    uint8_t video[3] = {1, 2, 3};
    uint8_t audio[2] = {9, 8};
    f.videoData = video;
    f.videoLength = 3;
    f.audioData = audio;
    f.audioLength = 2;
    KmfBitWriter w;
    ASSERT_EQ(f.packet(w), 0);
    std::vector<uint8_t> expect = {'K', 'M', 'F', 's', 'R', 'G', 'B', '3', 'P', 'C', 'M', ' ',
                                   4,   0,   2,   0,   25,  0xD8, 0xFF, 0x30, 0, 0, 2, 0,
                                   1,   2,   3,   9,   8};
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
