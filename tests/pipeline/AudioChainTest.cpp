// Audio chain: volume and low-pass filter, sample-rate and channel
// conversion with its running totals, and the conversion of decoder formats
// the chain cannot take.
#include "pipeline/AudioFilter.h"
#include "pipeline/AudioResampler.h"
#include "pipeline/PcmConverter.h"

#include "profiles/EncodingProfile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace moxel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes pcm16(const std::vector<int>& samples)
{
    Bytes b(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto u = static_cast<uint16_t>(static_cast<int16_t>(samples[i]));
        b[i * 2] = static_cast<uint8_t>(u & 0xFF);
        b[i * 2 + 1] = static_cast<uint8_t>(u >> 8);
    }
    return b;
}

std::vector<int> samples16(const uint8_t* p, size_t bytes)
{
    std::vector<int> v(bytes / 2);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<int16_t>(static_cast<uint16_t>(p[i * 2] | (p[i * 2 + 1] << 8)));
    return v;
}

Bytes pcm8(const std::vector<int>& samples)
{
    Bytes b;
    for (int s : samples)
        b.push_back(static_cast<uint8_t>(static_cast<int8_t>(s)));
    return b;
}

EncodingProfile audioProfile(int outSrate, int lowpass, double scale)
{
    EncodingProfile p;
    p.outSampleRate = outSrate;
    p.lowPassFilter = lowpass;
    p.volumeScale = scale;
    return p;
}

TEST(AudioFilterTest, LowPassCoefficients)
{
    const struct {
        int out, in;
        double a, b1, b2;
    } cases[] = {
        {22050, 44100, 1.0 / 3.0, 0.0, 1.0 / 3.0},
        {22050, 48000, 0.2916971525741842, -0.1701693507507374, 0.3369579610474741},
        {8000, 44100, 0.06223420284126871, -1.3261449272976678, 0.5750817386627425},
    };
    for (const auto& c : cases) {
        const AudioFilter f = createAudioFilter(c.in, 2, 16, audioProfile(c.out, 1, 1.0));
        ASSERT_EQ(f.lowpassOn, 1);
        EXPECT_FLOAT_EQ(f.coef[0].a, static_cast<float>(c.a));
        EXPECT_NEAR(f.coef[0].b1, c.b1, 1e-6);
        EXPECT_FLOAT_EQ(f.coef[0].b2, static_cast<float>(c.b2));
        EXPECT_EQ(f.coef[1].a, f.coef[0].a);
        EXPECT_EQ(f.coef[0].w1, 0.0f);
        EXPECT_EQ(f.scaleOn, 0);
    }
    // No low-pass while upsampling or at equal rates, or when not asked for.
    EXPECT_EQ(createAudioFilter(22050, 2, 16, audioProfile(44100, 1, 1.0)).lowpassOn, 0);
    EXPECT_EQ(createAudioFilter(44100, 2, 16, audioProfile(44100, 1, 1.0)).lowpassOn, 0);
    EXPECT_EQ(createAudioFilter(48000, 2, 16, audioProfile(22050, 0, 1.0)).lowpassOn, 0);
}

TEST(AudioFilterTest, VolumeTruncatesAndClamps)
{
    const struct {
        double scale;
        int scaleOn;
        std::vector<int> in, out;
    } cases[] = {
        {2.0, 1, {32767, -32768, 1000, -3, 16384}, {32767, -32768, 2000, -6, 32767}},
        {1.5, 1, {-3, 3, 1}, {-4, 4, 1}},
        {0.5, 1, {-3, 3, 32767}, {-1, 1, 16383}},
        {1.000000005, 0, {-3, 32767}, {-3, 32767}},
    };
    for (const auto& c : cases) {
        AudioFilter f = createAudioFilter(44100, 2, 16, audioProfile(44100, 0, c.scale));
        EXPECT_EQ(f.scaleOn, c.scaleOn);
        Bytes block = pcm16(c.in);
        filterBlock(f, block.data(), block.size());
        EXPECT_EQ(samples16(block.data(), block.size()), c.out) << c.scale;
    }
    // 8-bit blocks pass unscaled.
    AudioFilter f8 = createAudioFilter(44100, 1, 8, audioProfile(44100, 0, 2.0));
    Bytes b8 = pcm8({100, -100});
    filterBlock(f8, b8.data(), b8.size());
    EXPECT_EQ(b8, pcm8({100, -100}));
}

TEST(AudioFilterTest, LowPassRunsPerChannelWithUnityDcGain)
{
    AudioFilter f = createAudioFilter(44100, 2, 16, audioProfile(22050, 1, 1.0));
    std::vector<int> in;
    for (int i = 0; i < 400; ++i) {
        in.push_back(10000); // left: a step
        in.push_back(0);     // right: silence
    }
    Bytes block = pcm16(in);
    filterBlock(f, block.data(), block.size());
    const std::vector<int> out = samples16(block.data(), block.size());
    EXPECT_EQ(out[0], 3333); // a * x, with a = 1/3
    for (size_t i = 1; i < out.size(); i += 2)
        ASSERT_EQ(out[i], 0) << i;
    EXPECT_NEAR(out[out.size() - 2], 10000, 1);
    // The history carries into the next block.
    Bytes next = pcm16({10000, 0});
    filterBlock(f, next.data(), next.size());
    EXPECT_NEAR(samples16(next.data(), next.size())[0], 10000, 1);
}

TEST(AudioFilterTest, LowPassNeedsOneOrTwoChannels)
{
    // The filter keeps history for two channels: a six-channel block is only
    // scaled, never filtered with a history it does not have.
    AudioFilter f = createAudioFilter(48000, 6, 16, audioProfile(22050, 1, 2.0));
    EXPECT_EQ(f.lowpassOn, 1);
    Bytes block = pcm16({1, 2, 3, 4, 5, 6, -1, -2, -3, -4, -5, -6});
    filterBlock(f, block.data(), block.size());
    EXPECT_EQ(samples16(block.data(), block.size()),
              (std::vector<int>{2, 4, 6, 8, 10, 12, -2, -4, -6, -8, -10, -12}));
}

TEST(AudioResamplerTest, FormatsWithoutChannelsOrRateGiveNothing)
{
    Bytes block = pcm16({1, 2, 3, 4});
    const uint8_t* out = nullptr;
    for (const auto& r :
         {createResampler(44100, 0, 16, 22050, 1), createResampler(0, 2, 16, 22050, 1),
          createResampler(44100, 2, 16, 0, 2), createResampler(44100, 2, 16, 22050, 0)}) {
        AudioResampler copy = r;
        EXPECT_EQ(convertBlock(copy, block.data(), block.size(), out), 0u);
    }
}

TEST(AudioResamplerTest, EqualRatesConversions)
{
    struct Case {
        const char* what;
        int bits, inCh, outCh;
        Bytes in;
        std::vector<int> out;
        bool inPlace;
    };
    const Case cases[] = {
        {"16-bit stereo to mono",
         16,
         2,
         1,
         pcm16({-3, -3, -1, 0, 32767, 32767, 5, 6}),
         {-2, 0, 32766, 5},
         true},
        {"16-bit mono to stereo", 16, 1, 2, pcm16({7, -8}), {7, 7, -8, -8}, false},
        {"16-bit stereo unchanged", 16, 2, 2, pcm16({1, 2, 3, 4}), {1, 2, 3, 4}, true},
        {"8-bit stereo to mono",
         8,
         2,
         1,
         pcm8({1, -1, 127, 127, -128, -128}),
         {0, 32512, -32768},
         true},
        {"8-bit mono to stereo", 8, 1, 2, pcm8({1, -2}), {256, 256, -512, -512}, false},
        {"8-bit stereo widened", 8, 2, 2, pcm8({1, -2}), {256, -512}, false},
        {"8-bit mono widened", 8, 1, 1, pcm8({-128, 127}), {-32768, 32512}, false},
    };
    for (const Case& c : cases) {
        AudioResampler r = createResampler(44100, c.inCh, c.bits, 44100, c.outCh);
        Bytes in = c.in;
        const uint8_t* out = nullptr;
        const size_t n = convertBlock(r, in.data(), in.size(), out);
        EXPECT_EQ(samples16(out, n), c.out) << c.what;
        EXPECT_EQ(out == in.data(), c.inPlace) << c.what;
    }
    // Widths the chain does not know come back unchanged.
    AudioResampler r24 = createResampler(44100, 2, 24, 22050, 1);
    Bytes in(12, 0x55);
    const uint8_t* out = nullptr;
    EXPECT_EQ(convertBlock(r24, in.data(), in.size(), out), 12u);
    EXPECT_EQ(out, in.data());
}

TEST(AudioResamplerTest, TotalsStayExactForAnyBlockSizes)
{
    const struct {
        int inRate, inCh, bits, outRate, outCh;
    } cases[] = {
        {48000, 2, 16, 22050, 1}, {22050, 1, 16, 44100, 2}, {44100, 2, 8, 48000, 2},
        {8000, 1, 8, 44100, 1},   {96000, 2, 16, 8000, 2},  {44100, 1, 16, 44099, 1},
    };
    std::mt19937 rng(5);
    for (const auto& c : cases) {
        AudioResampler r = createResampler(c.inRate, c.inCh, c.bits, c.outRate, c.outCh);
        const int frameBytes = c.inCh * c.bits / 8;
        int64_t inFrames = 0, outFrames = 0;
        int lastIndex = -1;
        for (int block = 0; block < 300; ++block) {
            const int frames = static_cast<int>(rng() % 3000);
            // Every sample carries its frame number, so each output frame
            // shows which input frame it copied.
            Bytes in(static_cast<size_t>(frames) * frameBytes);
            for (int i = 0; i < frames; ++i)
                for (int ch = 0; ch < c.inCh; ++ch) {
                    const int tag = static_cast<int>((inFrames + i) % 100);
                    if (c.bits == 16) {
                        in[(i * c.inCh + ch) * 2] = static_cast<uint8_t>(tag * 2);
                        in[(i * c.inCh + ch) * 2 + 1] = 0;
                    } else {
                        in[i * c.inCh + ch] = static_cast<uint8_t>(tag);
                    }
                }
            const uint8_t* out = nullptr;
            const size_t bytes = convertBlock(r, in.data(), in.size(), out);
            inFrames += frames;
            ASSERT_EQ(bytes % (2 * c.outCh), 0u);
            outFrames += static_cast<int64_t>(bytes / (2 * c.outCh));
            ASSERT_EQ(outFrames, inFrames * c.outRate / c.inRate)
                << c.inRate << " -> " << c.outRate;
            const std::vector<int> s = samples16(out, bytes);
            for (size_t k = 0; k < s.size(); k += c.outCh) {
                const int tag = c.bits == 16 ? s[k] / 2 : s[k] / 256;
                ASSERT_GE(tag, 0);
                ASSERT_LT(tag, 100);
                if (c.outCh == 2) {
                    ASSERT_EQ(s[k], s[k + 1]);
                }
                // Input frames are read forwards (modulo the tag period).
                if (lastIndex >= 0 && tag != lastIndex) {
                    ASSERT_TRUE(tag > lastIndex || lastIndex - tag > 50)
                        << lastIndex << " then " << tag;
                }
                lastIndex = tag;
            }
        }
    }
}

TEST(AudioResamplerTest, BufferGrowsToTwiceTheNeedAndIsReused)
{
    AudioResampler r = createResampler(48000, 2, 16, 24000, 2);
    Bytes in(4800 * 4, 0);
    const uint8_t* out = nullptr;
    EXPECT_EQ(convertBlock(r, in.data(), in.size(), out), 2400u * 4);
    EXPECT_EQ(r.buffer.size(), 2u * 2400 * 4);
    const uint8_t* first = out;
    Bytes smaller(4000 * 4, 0);
    convertBlock(r, smaller.data(), smaller.size(), out);
    EXPECT_EQ(out, first);
    // Channel counts outside 1..2 give nothing while the totals advance.
    AudioResampler six = createResampler(48000, 6, 16, 24000, 2);
    Bytes block(480 * 12, 0);
    EXPECT_EQ(convertBlock(six, block.data(), block.size(), out), 0u);
    EXPECT_EQ(six.outTotal, 240);
}

TEST(PcmConverterTest, WideSamplesBecomeSixteenBits)
{
    struct Case {
        const char* what;
        PcmFormat format;
        Bytes in;
        std::vector<int> out;
    };
    auto f32 = [](std::vector<float> v) {
        Bytes b(v.size() * 4);
        std::memcpy(b.data(), v.data(), b.size());
        return b;
    };
    const Case cases[] = {
        {"24-bit stereo",
         {2, 24, false, 0},
         {0x56, 0x34, 0x12, 0x00, 0x00, 0x80},
         {0x1234, -32768}},
        {"24-bit mono, -1", {1, 24, false, 0}, {0xFF, 0xFF, 0xFF}, {-1}},
        {"32-bit mono",
         {1, 32, false, 0},
         {0x00, 0x00, 0xFF, 0x7F, 0xFF, 0xFF, 0x00, 0x80},
         {32767, -32768}},
        {"float stereo",
         {2, 32, true, 0},
         f32({1.0f, -1.0f, 0.5f, 2.0f}),
         {32767, -32768, 16384, 32767}},
    };
    for (const Case& c : cases) {
        PcmConverter conv(c.format);
        ASSERT_TRUE(conv.supported()) << c.what;
        EXPECT_EQ(conv.outBits(), 16);
        EXPECT_EQ(conv.outChannels(), c.format.channels);
        const uint8_t* out = nullptr;
        const size_t n = conv.convert(c.in.data(), c.in.size(), out);
        EXPECT_EQ(samples16(out, n), c.out) << c.what;
    }
    PcmConverter same({2, 16, false, 0});
    Bytes in = pcm16({1, 2, 3});
    const uint8_t* out = nullptr;
    EXPECT_TRUE(same.passesThrough());
    EXPECT_EQ(same.convert(in.data(), in.size(), out), 4u); // whole frames only
    EXPECT_EQ(out, in.data());
    EXPECT_FALSE(PcmConverter({0, 16, false, 0}).supported());
    EXPECT_FALSE(PcmConverter({2, 12, false, 0}).supported());
}

TEST(PcmConverterTest, MoreThanTwoChannelsDownmixToStereo)
{
    // 5.1 in the usual order: FL FR FC LFE BL BR. Left weights 1, 0.707, 0.707
    // scaled by 1 / 2.414 so full scale everywhere cannot clip.
    PcmConverter conv({6, 16, false, 0});
    ASSERT_EQ(conv.outChannels(), 2);
    Bytes in = pcm16({1000,       0,     0,     0,     0,     0,     /**/ 0, 0, 1000, 0, 0, 0,
                      /**/ 0,     0,     0,     30000, 0,     0,
                      /**/ 32767, 32767, 32767, 32767, 32767, 32767, /**/ 0, 0, 0,    0, 0, -1000});
    const uint8_t* out = nullptr;
    const size_t n = conv.convert(in.data(), in.size(), out);
    EXPECT_EQ(samples16(out, n), (std::vector<int>{414, 0, 293, 293, 0, 0, 32767, 32767, 0, -293}));
    // 8-bit multichannel is unsigned and centred on 128.
    PcmConverter eight({4, 8, false, 0});
    Bytes silence(8, 128);
    EXPECT_EQ(samples16(out, eight.convert(silence.data(), silence.size(), out)),
              (std::vector<int>{0, 0, 0, 0}));
    // An explicit mask picks the positions: FL FR LFE (2.1) drops the third.
    PcmConverter twoOne({3, 16, false, 0x1 | 0x2 | 0x8});
    Bytes lfe = pcm16({0, 0, 20000});
    EXPECT_EQ(samples16(out, twoOne.convert(lfe.data(), lfe.size(), out)),
              (std::vector<int>{0, 0}));
}

} // namespace
} // namespace moxel
