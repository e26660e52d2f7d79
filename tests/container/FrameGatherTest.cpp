#include "container/KmfFrameGather.h"

#include "container/FourCC.h"
#include "container/KmfBitWriter.h"

#include "KmfSampleFile.h"
#include "KmfTestBytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace moxel;
using namespace moxel::test;

namespace {

std::vector<uint8_t> packed(const KmfFrame& f)
{
    KmfBitWriter w;
    EXPECT_EQ(f.packet(w), 0);
    return bytesOf(w);
}

std::vector<KmfFrame> variedFrames(const std::vector<uint8_t>& big)
{
    SampleFile s = makeSampleFile({.withHeader = false});
    std::vector<KmfFrame> frames;
    KmfFrame full;
    full.setInfo(kFourCCRgb3, 416, 416, 29.97);
    full.audioFormat = kFourCCPcm;
    full.isSync = true;
    full.syncOffset = -7;
    full.videoData = big.data();
    full.videoLength = kKmfMaxVideoLength;
    full.audioData = big.data() + 5;
    full.audioLength = kKmfMaxAudioLength;
    full.auxCount = 15;
    for (int i = 0; i < 15; ++i) {
        full.auxData[i] = big.data() + 100 * i;
        full.auxLength[i] = i * 1000;
        full.auxType[i] = makeFourCC("AUXa") + uint32_t(i);
    }
    frames.push_back(full);
    full.isSync = false;
    frames.push_back(full);
    return frames;
}

} // namespace

TEST(KmfFrameGather, SameBytesAsPacket)
{
    SampleFile s = makeSampleFile({.withHeader = false});
    const auto big = pattern(kKmfMaxVideoLength + 200000, 3);
    std::vector<KmfFrame> frames = s.frames;
    for (const KmfFrame& f : variedFrames(big))
        frames.push_back(f);

    TempDir dir;
    const std::string path = dir.file("gather.kmf");
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    std::vector<uint8_t> expectFile;
    KmfFrameGather gather;
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        std::vector<uint8_t> expect = packed(frames[i]);
        ASSERT_EQ(gather.build(frames[i]), 0);
        EXPECT_EQ(gather.size(), expect.size());
        std::vector<uint8_t> got;
        gather.appendTo(got);
        EXPECT_EQ(got, expect);
        ASSERT_EQ(gather.writeTo(fd), 0);
        expectFile.insert(expectFile.end(), expect.begin(), expect.end());
    }
    ::close(fd);
    EXPECT_EQ(readFileBytes(path), expectFile);
}

TEST(KmfFrameGather, InvalidFrameLeavesNoRanges)
{
    SampleFile s = makeSampleFile({.withHeader = false});
    KmfFrameGather gather;
    ASSERT_EQ(gather.build(s.frames[0]), 0);
    KmfFrame bad = s.frames[0];
    bad.audioLength = kKmfMaxAudioLength + 1;
    EXPECT_EQ(gather.build(bad), -1);
    EXPECT_TRUE(gather.ranges().empty());
    EXPECT_EQ(gather.size(), 0u);
    EXPECT_EQ(gather.writeTo(-1), 0) << "nothing to write";
}
