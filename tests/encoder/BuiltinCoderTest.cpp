// The built-in coders: RGB3 packing and its size limit, PCM with its 4-byte
// header and whole sample frames, and both through the encoder.
#include "EncoderTestSupport.h"

#include "container/FourCC.h"
#include "encoder/CodecPlugins.h"
#include "encoder/PcmCoder.h"
#include "encoder/RgbPackCoder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <vector>

using namespace moxel;
using namespace moxel::test;

TEST(RgbPackCoder, DropsTheFourthByteOfEachPixel)
{
    auto coder = RgbPackCoder::create(3, 2);
    ASSERT_NE(coder, nullptr);
    std::vector<uint8_t> picture;
    for (int i = 0; i < 6; ++i)
        picture.insert(picture.end(), {uint8_t(i), uint8_t(10 + i), uint8_t(20 + i), 0xEE});
    std::vector<uint8_t> out(kCoderVideoOutRoom, 0);
    int key = 0;
    ASSERT_EQ(coder->Encode(picture.data(), out.data(), &key), 18);
    EXPECT_EQ(key, 1);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(out[3 * i], i);
        EXPECT_EQ(out[3 * i + 1], 10 + i);
        EXPECT_EQ(out[3 * i + 2], 20 + i);
    }
    EXPECT_EQ(out[18], 0); // nothing past the packed picture
}

TEST(RgbPackCoder, RefusesPicturesThatDoNotFitTheOutputRoom)
{
    struct Row {
        int width, height;
        bool fits;
    } rows[] = {
        {418, 418, true},     // 524172 bytes
        {174762, 1, true},    // 524286 bytes
        {174763, 1, false},   // 524289 bytes
        {640, 480, false},    // 921600 bytes
        {65535, 65535, false} // would overflow a 32-bit product
    };
    for (const Row& row : rows) {
        testing::internal::CaptureStderr();
        auto coder = RgbPackCoder::create(row.width, row.height);
        std::string diagnostic = testing::internal::GetCapturedStderr();
        EXPECT_EQ(coder != nullptr, row.fits) << row.width << "x" << row.height;
        EXPECT_EQ(diagnostic.find("width*height*3 <= 524288") != std::string::npos, !row.fits);
    }
}

TEST(PcmCoder, HeaderOnTheFirstCallAndWholeSampleFrames)
{
    struct Row {
        const char* name;
        int channels, sampleRate, bits;
        int callIndex, inLength, outRoom;
        int expectConsumed, expectResult;
    } rows[] = {
        {"stereo, header", 2, 44100, 16, 0, 10, 32768, 8, 12},
        {"stereo, later call", 2, 44100, 16, 1, 10, 32768, 8, 8},
        {"room limits, header first", 2, 44100, 16, 0, 100, 11, 4, 8},
        {"room below one sample frame", 2, 44100, 16, 1, 100, 3, 0, 0},
        {"mono 16", 1, 8000, 16, 1, 7, 32768, 6, 6},
        {"bits 0 means 16", 1, 8000, 0, 1, 7, 32768, 6, 6},
        {"8-bit stereo", 2, 22050, 8, 1, 5, 32768, 4, 4},
        {"nothing queued", 2, 44100, 16, 0, 0, 32768, 0, 4},
    };
    for (const Row& row : rows) {
        auto coder = PcmCoder::create(row.channels, row.sampleRate, row.bits);
        ASSERT_NE(coder, nullptr) << row.name;
        std::vector<uint8_t> in(size_t(row.inLength) + 1);
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = uint8_t(100 + i);
        std::vector<uint8_t> out(size_t(row.outRoom) + 8, 0xCC);
        int consumed = -1;
        int r = coder->Encode(row.callIndex, in.data(), row.inLength, &consumed, out.data(),
                              row.outRoom);
        EXPECT_EQ(consumed, row.expectConsumed) << row.name;
        ASSERT_EQ(r, row.expectResult) << row.name;
        size_t header = row.callIndex == 0 ? 4 : 0;
        if (header) {
            int bits = row.bits ? row.bits : 16;
            EXPECT_EQ(out[0], bits) << row.name;
            EXPECT_EQ(out[1], row.channels) << row.name;
            EXPECT_EQ(out[2], row.sampleRate & 0xFF) << row.name;
            EXPECT_EQ(out[3], (row.sampleRate >> 8) & 0xFF) << row.name;
        }
        for (int i = 0; i < row.expectConsumed; ++i)
            EXPECT_EQ(out[header + size_t(i)], in[size_t(i)]) << row.name;
        EXPECT_EQ(out[size_t(r)], 0xCC) << row.name; // nothing written past the result
    }
    EXPECT_EQ(PcmCoder::create(0, 44100, 16), nullptr);
}

TEST(BuiltinCoders, TheEncoderUsesThemBeforeAnyPlugin)
{
    TempDir dir;
    CodecPluginSet builtInsOnly; // nothing loaded: just the built-in coders
    KmfEncoder encoder;
    encoder.setCoderFactory(&builtInsOnly);
    encoder.setVideo(kFourCCRgb3, 2, 1, 25.0, kFourCCRgba, nullptr);
    encoder.setAudio(kFourCCPcm, 1000, 1, 16, kFourCCPcm, nullptr);
    encoder.openOutput(dir.file("out.kmf").c_str());
    ASSERT_EQ(encoder.errorText(), nullptr);
    const uint8_t picture[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<uint8_t> pcm(81, 0x33); // 40.5 samples: the half stays queued
    encoder.addAudioData(pcm.data(), int(pcm.size()));
    encoder.addVideoFrame(picture);
    ASSERT_EQ(encoder.errorText(), nullptr);
    EXPECT_EQ(encoder.audioQueued(), 1u);
    ASSERT_TRUE(encoder.close());

    std::vector<ParsedFrame> frames = parseFile(readFileBytes(dir.file("out.kmf")));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].videoFormat, kFourCCRgb3);
    EXPECT_EQ(frames[0].audioFormat, kFourCCPcm);
    EXPECT_EQ(frames[0].video, (std::vector<uint8_t>{1, 2, 3, 5, 6, 7}));
    std::vector<uint8_t> audio = {16, 1, 1000 & 0xFF, 1000 >> 8};
    audio.insert(audio.end(), 80, 0x33);
    EXPECT_EQ(frames[0].audio, audio);
}

TEST(BuiltinCoders, OversizedRgbPicturesFailTheOpen)
{
    TempDir dir;
    CodecPluginSet builtInsOnly;
    KmfEncoder encoder;
    encoder.setCoderFactory(&builtInsOnly);
    encoder.setVideo(kFourCCRgb3, 640, 480, 25.0, kFourCCRgba, nullptr);
    testing::internal::CaptureStderr();
    encoder.openOutput(dir.file("out.kmf").c_str());
    testing::internal::GetCapturedStderr();
    EXPECT_STREQ(encoder.errorText(), "openOutput: error creating video compressor");
}
