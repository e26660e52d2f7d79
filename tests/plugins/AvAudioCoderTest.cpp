// The plug-in's audio coders, loaded as the program loads it, driven the way
// the encoder's audio drain drives them: the tone comes back at its frequency
// and level, input is taken without overrunning what was offered, and the
// output room is never exceeded, however small. The flush at the end of the
// sound hands out the remainder and what the codec held back.
#include "AvPlugin.h"
#include "AvTestMedia.h"

#include "encoder/FlushableAudioCoder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

using namespace moxel;
using namespace moxel::test;

namespace {

constexpr int kFrameRoom = 32768;   // the encoder's room for one frame's audio
constexpr int kDrainBudget = 24576; // the encoder stops a frame's drain near this
constexpr uint8_t kUntouched = 0xEE;

struct AudioCase {
    const char* name;
    const char* fourCC;
    const char* decoder;
    int sampleRate;
    int channels;
};

// Per channel; the fourth is the low-frequency channel of a 5.1 layout.
const std::vector<double> kFrequenciesHz = {440.0, 1000.0, 660.0, 80.0, 550.0, 770.0};
const std::vector<double> kAmplitudes = {0.5, 0.25, 0.3, 0.3, 0.2, 0.4};

std::vector<uint8_t> tone(const AudioCase& c, double seconds)
{
    return toneSignal(c.sampleRate, seconds,
                      {kFrequenciesHz.begin(), kFrequenciesHz.begin() + c.channels},
                      {kAmplitudes.begin(), kAmplitudes.begin() + c.channels});
}

// Feeds pcm in uneven blocks and drains after each one as the encoder does,
// with at most `room` bytes per frame; checks every call's contract on the
// way. With flush, the remainder and the codec's delay follow at the end.
std::vector<uint8_t> encodeLikeTheEncoder(AudioCoder& coder, const std::vector<uint8_t>& pcm,
                                          int channels, int room, KmfFlushAudio3Fn flush = nullptr)
{
    std::vector<uint8_t> stream, queue, out(size_t(room) + 64);
    size_t fed = 0;
    for (int block = 0; fed < pcm.size() || !queue.empty(); ++block) {
        const size_t size = std::min(pcm.size() - fed, size_t(1000 + block * 337 % 3000) / 4 * 4);
        queue.insert(queue.end(), pcm.begin() + long(fed), pcm.begin() + long(fed + size));
        fed += size;
        std::fill(out.begin(), out.end(), kUntouched);
        int produced = 0;
        bool took = false;
        for (int call = 0;; ++call) {
            int consumed = -1;
            const int r = coder.Encode(call, queue.data(), int(queue.size()), &consumed,
                                       out.data() + produced, room - produced);
            EXPECT_GE(r, 0);
            EXPECT_LE(r, room - produced);
            EXPECT_GE(consumed, 0);
            EXPECT_LE(consumed, int(queue.size()));
            EXPECT_EQ(consumed % (2 * channels), 0);
            if (r < 0 || consumed < 0 || consumed > int(queue.size()))
                return {};
            EXPECT_TRUE(std::all_of(out.begin() + produced + r, out.end(), [](uint8_t b) {
                return b == kUntouched;
            })) << "bytes written past the count returned";
            queue.erase(queue.begin(), queue.begin() + consumed);
            produced += r;
            took = took || consumed > 0;
            if (r == 0 && (consumed == 0 || queue.empty()))
                break;
            if (produced + produced / (call + 1) > kDrainBudget)
                break;
        }
        stream.insert(stream.end(), out.begin(), out.begin() + produced);
        if (fed == pcm.size() && !took && produced == 0)
            break; // only a remainder shorter than a codec frame is left
    }
    EXPECT_LT(queue.size(), size_t(kFrameRoom));
    for (int call = 0; flush != nullptr && call < 1000; ++call) {
        std::fill(out.begin(), out.end(), kUntouched);
        int consumed = -1, pending = -1;
        const int r =
            flush(&coder, queue.data(), int(queue.size()), &consumed, out.data(), room, &pending);
        EXPECT_GE(r, 0);
        EXPECT_LE(r, room);
        EXPECT_EQ(consumed, int(queue.size())) << "the flush takes all that is left";
        if (r < 0 || r > room)
            return {};
        EXPECT_TRUE(std::all_of(out.begin() + r, out.end(), [](uint8_t b) {
            return b == kUntouched;
        })) << "bytes written past the count returned";
        queue.clear();
        stream.insert(stream.end(), out.begin(), out.begin() + r);
        if (pending == 0)
            break;
    }
    return stream;
}

long codecFrameSamples(const AudioCase& c)
{
    if (std::string(c.fourCC) == "AAC ")
        return 1024;
    return c.sampleRate < 32000 ? 576 : 1152;
}

// Each ADTS header's length field must lead exactly to the next header.
bool adtsFramesChain(const std::vector<uint8_t>& s)
{
    size_t at = 0;
    while (at + 7 <= s.size()) {
        if (s[at] != 0xFF || (s[at + 1] & 0xF6) != 0xF0)
            return false;
        const size_t length = size_t((s[at + 3] & 3) << 11 | s[at + 4] << 3 | s[at + 5] >> 5);
        if (length < 7)
            return false;
        at += length;
    }
    return at == s.size();
}

class AudioCoderTest : public ::testing::TestWithParam<AudioCase> {};

} // namespace

TEST_P(AudioCoderTest, ToneComesBackAtItsFrequencyAndLevel)
{
    const AudioCase& c = GetParam();
    TempDir dir;
    std::string profile;
    if (c.channels > 2) { // the default 128 kbit/s shared by six channels blurs the levels
        profile = dir.file("surround.pf");
        writeFileText(profile, "[kmf_coder_av]\r\naudio_bitrate=320\r\n");
    }
    auto coder = AvPlugin::audio(fourCC(c.fourCC), c.channels, c.sampleRate, profile);
    ASSERT_NE(coder, nullptr);
    const double seconds = 2.0;
    const std::vector<uint8_t> stream =
        encodeLikeTheEncoder(*coder, tone(c, seconds), c.channels, kFrameRoom);
    ASSERT_FALSE(stream.empty());
    if (std::string(c.fourCC) == "AAC ") {
        EXPECT_TRUE(adtsFramesChain(stream));
    }

    const DecodedAudio decoded = decodeAudioStream(c.decoder, stream);
    ASSERT_EQ(decoded.error, "");
    EXPECT_EQ(decoded.sampleRate, c.sampleRate);
    ASSERT_EQ(int(decoded.channels.size()), c.channels);
    for (int ch = 0; ch < c.channels; ++ch) {
        SCOPED_TRACE(ch);
        // What stays inside the coder at the end (no flush) is well under 0.3 s.
        EXPECT_GT(double(decoded.channels[ch].size()) / c.sampleRate, seconds - 0.3);
        const ToneMeasure m = measureTone(decoded.channels[ch], c.sampleRate, 0.3, seconds - 0.3);
        const double levelErrorDb = 20 * std::log10(m.peakAmplitude / kAmplitudes[ch]);
        EXPECT_NEAR(m.frequencyHz, kFrequenciesHz[ch], kFrequenciesHz[ch] * 0.01);
        EXPECT_NEAR(levelErrorDb, 0.0, 1.0);
        RecordProperty("channel" + std::to_string(ch), std::to_string(m.frequencyHz) + " Hz, " +
                                                           std::to_string(levelErrorDb) + " dB");
    }
}

TEST_P(AudioCoderTest, SmallRoomDelaysPacketsButLosesNone)
{
    const AudioCase& c = GetParam();
    const std::vector<uint8_t> pcm = tone(c, 1.0);
    auto ample = AvPlugin::audio(fourCC(c.fourCC), c.channels, c.sampleRate);
    auto tight = AvPlugin::audio(fourCC(c.fourCC), c.channels, c.sampleRate);
    ASSERT_NE(ample, nullptr);
    ASSERT_NE(tight, nullptr);
    const std::vector<uint8_t> whole = encodeLikeTheEncoder(*ample, pcm, c.channels, kFrameRoom);
    // Room for about one packet per frame (the largest AAC packet here is under 1600 bytes).
    const std::vector<uint8_t> trickled = encodeLikeTheEncoder(*tight, pcm, c.channels, 1600);
    EXPECT_EQ(trickled, whole);
}

TEST_P(AudioCoderTest, ShortRemainderStaysWithTheCaller)
{
    const AudioCase& c = GetParam();
    auto coder = AvPlugin::audio(fourCC(c.fourCC), c.channels, c.sampleRate);
    ASSERT_NE(coder, nullptr);
    const std::vector<uint8_t> pcm = tone(c, 0.5);
    std::vector<uint8_t> out(kFrameRoom);
    int consumed = -1;
    // Fewer samples than any codec frame (576 per channel is the smallest).
    const int few = 500 * 2 * c.channels;
    EXPECT_EQ(coder->Encode(0, pcm.data(), few, &consumed, out.data(), kFrameRoom), 0);
    EXPECT_EQ(consumed, 0);
    EXPECT_GE(coder->Encode(1, pcm.data(), int(pcm.size()), &consumed, out.data(), kFrameRoom), 0);
    EXPECT_GT(consumed, few);
    EXPECT_LE(consumed, int(pcm.size()));
}

TEST_P(AudioCoderTest, FlushHandsOutAllOfTheSoundWhateverTheRoom)
{
    const AudioCase& c = GetParam();
    const KmfFlushAudio3Fn flush = AvPlugin::get().flushAudio;
    ASSERT_NE(flush, nullptr) << "the plug-in does not export FlushAudio3";
    // Not a whole number of codec frames: a remainder is left for the flush.
    const std::vector<uint8_t> pcm = tone(c, 1.0123);
    const long samples = long(pcm.size()) / (2 * c.channels);
    auto ample = AvPlugin::audio(fourCC(c.fourCC), c.channels, c.sampleRate);
    auto tight = AvPlugin::audio(fourCC(c.fourCC), c.channels, c.sampleRate);
    ASSERT_NE(ample, nullptr);
    ASSERT_NE(tight, nullptr);
    const std::vector<uint8_t> whole =
        encodeLikeTheEncoder(*ample, pcm, c.channels, kFrameRoom, flush);
    EXPECT_EQ(encodeLikeTheEncoder(*tight, pcm, c.channels, 1600, flush), whole);

    const DecodedAudio decoded = decodeAudioStream(c.decoder, whole);
    ASSERT_EQ(decoded.error, "");
    ASSERT_EQ(int(decoded.channels.size()), c.channels);
    EXPECT_NEAR(loudSpan(decoded.channels[0]), samples, codecFrameSamples(c));

    // After the flush the coder takes no more input and hands out nothing more.
    std::vector<uint8_t> out(kFrameRoom);
    int consumed = -1, pending = -1;
    EXPECT_EQ(ample->Encode(0, pcm.data(), int(pcm.size()), &consumed, out.data(), kFrameRoom), 0);
    EXPECT_EQ(consumed, 0);
    EXPECT_EQ(flush(ample.get(), nullptr, 0, &consumed, out.data(), kFrameRoom, &pending), 0);
    EXPECT_EQ(pending, 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, AudioCoderTest,
                         ::testing::Values(AudioCase{"Mp3Stereo44k", "MP3 ", "mp3float", 44100, 2},
                                           AudioCase{"Mp3Mono22k", "MP3 ", "mp3float", 22050, 1},
                                           AudioCase{"AacStereo48k", "AAC ", "aac", 48000, 2},
                                           AudioCase{"AacMono44k", "AAC ", "aac", 44100, 1},
                                           AudioCase{"Aac51At48k", "AAC ", "aac", 48000, 6}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AudioCoder, TheProgramGetsItsCodersReadyToFlush)
{
    CodecPluginSet set;
    ASSERT_GE(set.load(std::filesystem::path(KMF_CODER_AV_PATH).parent_path().string()), 1);
    for (const char* format : {"MP3 ", "AAC "}) {
        uint32_t asked = fourCC(format);
        std::unique_ptr<AudioCoder> coder =
            set.createAudioCoder(2, 44100, 16, fourCC("PCM "), &asked, nullptr);
        ASSERT_NE(coder, nullptr) << format;
        EXPECT_NE(dynamic_cast<FlushableAudioCoder*>(coder.get()), nullptr) << format;
    }
}

TEST(AudioCoder, FlushRefusesACoderThePlugInDidNotMake)
{
    struct Foreign : AudioCoder {
        int Encode(int, const void*, int, int* consumed, void*, int) override
        {
            *consumed = 0;
            return 0;
        }
    } foreign;
    const KmfFlushAudio3Fn flush = AvPlugin::get().flushAudio;
    ASSERT_NE(flush, nullptr);
    uint8_t out[64];
    int consumed = -1, pending = -1;
    EXPECT_EQ(flush(&foreign, nullptr, 0, &consumed, out, 64, &pending), -1);
    EXPECT_EQ(consumed, 0);
    EXPECT_EQ(pending, 0);
}

TEST(AudioCoder, RefusesWhatItCannotEncode)
{
    struct Case {
        const char* what;
        const char* fourCC;
        int channels, sampleRate, bits;
        uint32_t source;
    } cases[] = {
        {"MP3 surround", "MP3 ", 6, 44100, 16, fourCC("PCM ")},
        {"AAC eight channels", "AAC ", 8, 44100, 16, fourCC("PCM ")},
        {"no channels", "AAC ", 0, 44100, 16, fourCC("PCM ")},
        {"8-bit input", "MP3 ", 2, 44100, 8, fourCC("PCM ")},
        {"MP3 rate", "MP3 ", 2, 96000, 16, fourCC("PCM ")},
        {"odd rate", "AAC ", 2, 44000, 16, fourCC("PCM ")},
        {"not PCM", "AAC ", 2, 44100, 16, fourCC("MP3 ")},
        {"video format", "VP80", 2, 44100, 16, fourCC("PCM ")},
    };
    const CodecPlugin& plugin = AvPlugin::get();
    for (const Case& c : cases) {
        uint32_t format = fourCC(c.fourCC);
        AudioCoder* coder =
            plugin.createAudio(c.channels, c.sampleRate, c.bits, c.source, &format, nullptr);
        EXPECT_EQ(coder, nullptr) << c.what;
        delete coder;
    }
}

TEST(AudioCoder, BitRateFromTheProfileSetsTheSize)
{
    TempDir dir;
    const AudioCase c{"", "MP3 ", "mp3float", 44100, 2};
    const std::vector<uint8_t> pcm = tone(c, 1.0);
    auto size = [&](const char* kbps) {
        const std::string path = dir.file(std::string(kbps) + ".pf");
        writeFileText(path, std::string("[kmf_coder_av]\r\naudio_bitrate=") + kbps + "\r\n");
        auto coder = AvPlugin::audio(fourCC(c.fourCC), c.channels, c.sampleRate, path);
        return coder ? encodeLikeTheEncoder(*coder, pcm, c.channels, kFrameRoom).size() : 0;
    };
    const size_t low = size("64");
    EXPECT_GT(low, 0u);
    EXPECT_GT(size("192"), 2 * low);
}
