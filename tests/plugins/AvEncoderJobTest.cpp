// The plug-in inside a whole encoder job: KmfEncoder loads it from the
// program folder, and the sync frames that minsync/maxsync allow land on the
// plug-in's key pictures, each one a picture a joining viewer can decode
// alone; the frames' audio follows the pictures and decodes to the tone.
#include "AvPlugin.h"
#include "AvTestMedia.h"

#include "encoder/CodecPlugins.h"
#include "encoder/KmfEncoder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

using namespace moxel;
using namespace moxel::test;

namespace {

struct SyncCase {
    const char* name;
    const char* videoFormat;
    const char* decoder;
    int keyint, minSync, maxSync;
    std::vector<int> syncFrames;
};

class AvEncoderJobTest : public ::testing::TestWithParam<SyncCase> {};

constexpr int kWidth = 160, kHeight = 120, kFrames = 32, kSampleRate = 44100;
constexpr double kFps = 25.0;

} // namespace

TEST_P(AvEncoderJobTest, SyncFramesLandOnKeyPictures)
{
    const SyncCase& c = GetParam();
    TempDir dir;
    const std::string profile = dir.file("job.pf");
    writeFileText(profile, "[kmf_coder_av]\r\nkeyint=" + std::to_string(c.keyint) + "\r\n");
    CodecPluginSet plugins;
    ASSERT_GE(plugins.load(std::filesystem::path(KMF_CODER_AV_PATH).parent_path().string()), 1);

    KmfEncoder encoder;
    encoder.setCoderFactory(&plugins);
    encoder.setMinSync(c.minSync);
    encoder.setMaxSync(c.maxSync);
    encoder.setVideo(fourCC(c.videoFormat), kWidth, kHeight, kFps, fourCC("RGBA"), profile.c_str());
    encoder.setAudio(fourCC("MP3 "), kSampleRate, 2, 16, fourCC("PCM "), profile.c_str());
    encoder.openOutput(dir.file("job.kmf").c_str());
    ASSERT_EQ(encoder.errorText(), nullptr);

    const std::vector<uint8_t> pcm =
        toneSignal(kSampleRate, (kFrames + 10) / kFps, {440.0, 1000.0}, {0.5, 0.25});
    size_t fed = 0;
    std::vector<int> syncFrames;
    std::vector<uint8_t> audio;
    for (int t = 0; t < kFrames; ++t) {
        SCOPED_TRACE(t);
        while (encoder.audioNeeded() != AudioNeed::Enough && fed < pcm.size()) {
            const size_t block = std::min<size_t>(16384, pcm.size() - fed);
            encoder.addAudioData(pcm.data() + fed, int(block));
            fed += block;
        }
        encoder.addVideoFrame(patternPicture(kWidth, kHeight, t).data());
        ASSERT_EQ(encoder.errorText(), nullptr);
        const KmfFrame& frame = encoder.frame();
        audio.insert(audio.end(), frame.audioData, frame.audioData + frame.audioLength);
        if (!frame.isSync)
            continue;
        syncFrames.push_back(t);
        VideoDecoder joining(c.decoder);
        ASSERT_EQ(joining.decode(frame.videoData, frame.videoLength), 1);
        EXPECT_TRUE(joining.pictureIsKey());
        EXPECT_GT(psnr(joining.picture(), patternReference(kWidth, kHeight, t)), 30.0);
    }
    EXPECT_EQ(syncFrames, c.syncFrames);

    // Audio taken so far reaches the pictures' time within one MP3 frame.
    const double audioSeconds = double(encoder.audioBytesConsumed()) / (kSampleRate * 4);
    EXPECT_NEAR(audioSeconds, kFrames / kFps, 1152.0 / kSampleRate);
    const DecodedAudio decoded = decodeAudioStream("mp3float", audio);
    ASSERT_EQ(decoded.error, "");
    ASSERT_EQ(decoded.channels.size(), 2u);
    const ToneMeasure left = measureTone(decoded.channels[0], kSampleRate, 0.2, 1.0);
    EXPECT_NEAR(left.frequencyHz, 440.0, 4.4);
    EXPECT_NEAR(20 * std::log10(left.peakAmplitude / 0.5), 0.0, 1.0);
    EXPECT_TRUE(encoder.close());
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, AvEncoderJobTest,
    ::testing::Values(
        // Every key picture starts a sync frame.
        SyncCase{"Vp8EveryKey", "VP80", "vp8", 10, 0, 120, {0, 10, 20, 30}},
        // minsync skips key pictures that come too soon after a sync frame.
        SyncCase{"H264MinSync", "H264", "h264", 10, 15, 120, {0, 20}},
        // maxsync only forces a sync frame when key pictures are further apart.
        SyncCase{"XvidMaxSyncAboveKeyint", "XVID", "mpeg4", 8, 0, 9, {0, 8, 16, 24}}),
    [](const auto& info) { return std::string(info.param.name); });
