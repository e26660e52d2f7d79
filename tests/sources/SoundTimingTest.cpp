// Both sources' sound against the file's timestamps, on clips written with
// late and early sound, gaps and damage: where silence and the tone land in
// the PCM handed out, its length, the counters and the end-of-job lines,
// and that clean files hand out exactly what their decoded sound gives.
#include "sources/DecoderSource.h"
#include "sources/MovieSource.h"

#include "SourceTestSupport.h"
#include "base/DiagnosticCapture.h"
#include "sources/AudioChain.h"
#include "sources/AudioFrameConverter.h"
#include "sources/StreamDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace moxel {
namespace {

using test::ClipSpec;

constexpr int kRate = 44100; // the default profile's output, stereo
constexpr int kCodecFrame = 1024;

using SoundTimingTest = test::ClipTest;

std::unique_ptr<MediaSource> makeSource(const std::string& path)
{
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".mov") == 0)
        return std::make_unique<MovieSource>();
    return std::make_unique<DecoderSource>();
}

ClipSpec timedSpec(const char* container, int frames, double audioSeconds)
{
    ClipSpec spec;
    spec.videoCodec = frames > 0 ? "mpeg4" : "";
    spec.frameCount = frames;
    spec.audioCodec = std::string(container) == "mka" ? "pcm_s16le" : "aac";
    spec.audioSeconds = audioSeconds;
    return spec;
}

std::vector<int16_t> leftChannel(const test::DrainResult& got)
{
    std::vector<int16_t> left;
    for (size_t i = 0; i < got.samples.size(); i += 2)
        left.push_back(got.samples[i]);
    return left;
}

int loudest(const std::vector<int16_t>& left, double fromSeconds, double toSeconds)
{
    int peak = 0;
    const auto to = std::min(left.size(), size_t(std::max(0.0, toSeconds * kRate)));
    for (size_t i = size_t(std::max(0.0, fromSeconds * kRate)); i < to; ++i)
        peak = std::max(peak, std::abs(int(left[i])));
    return peak;
}

// The first sample at or after fromSeconds where the tone (peak 16383) sounds.
double onsetSeconds(const std::vector<int16_t>& left, double fromSeconds)
{
    for (size_t i = size_t(fromSeconds * kRate); i < left.size(); ++i)
        if (std::abs(int(left[i])) >= 4000)
            return double(i) / kRate;
    return -1.0;
}

struct TimingCase {
    const char* name;
    ClipSpec spec;
    double totalSeconds;         // of the PCM handed out
    double silentFrom, silentTo; // a stretch that must be silent
    double onsetAfter, onsetAt;  // the tone's first sound after onsetAfter
    double silenceMs, droppedMs; // the counters
};

TEST_F(SoundTimingTest, SoundFollowsTheTimestampsInBothSources)
{
    // Sound 0.5 s after the pictures (as MPEG-TS recordings often are).
    ClipSpec late = timedSpec("ts", 75, 2.5);
    late.audioStartSeconds = 0.5;
    // Pictures 1 s after the sound, whose tone begins at its 1.5 s.
    ClipSpec early = timedSpec("mkv", 50, 3.0);
    early.videoStartSeconds = 1.0;
    early.toneStartSeconds = 1.5;
    // 1 s of sound, 2 s missing, 1 s more (the gap comes at the first
    // 1024-sample frame past 1 s).
    ClipSpec gap = timedSpec("mkv", 100, 2.0);
    gap.audioGapAtSeconds = 1.0;
    gap.audioGapSeconds = 2.0;
    // Sound only, 1 s missing after its first second.
    ClipSpec soundOnly = timedSpec("mka", 0, 2.0);
    soundOnly.audioGapAtSeconds = 1.0;
    soundOnly.audioGapSeconds = 1.0;

    const double gapAt = 44.0 * kCodecFrame / kRate;
    const TimingCase cases[] = {
        {"late.ts", late, 3.0, 0.0, 0.45, 0.0, 0.5, 500, 0},
        {"late.mov", late, 3.0, 0.0, 0.45, 0.0, 0.5, 500, 0},
        {"early.mkv", early, 2.0, 0.0, 0.45, 0.0, 0.5, 0, 1000},
        {"early.ts", early, 2.0, 0.0, 0.45, 0.0, 0.5, 0, 1000},
        {"gap.mkv", gap, 4.0, 1.1, 2.95, 1.5, gapAt + 2.0, 2000, 0},
        {"gap.mov", gap, 4.0, 1.1, 2.95, 1.5, gapAt + 2.0, 2000, 0},
        {"gap.mka", soundOnly, 3.0, 1.05, 2.0, 1.5, gapAt + 1.0, 1000, 0},
    };
    for (const TimingCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<MediaSource> source = makeSource(c.name);
        ASSERT_TRUE(source->open(clip(c.name, c.spec), ""));
        const test::DrainResult got = test::drainSource(*source);
        source->close();
        const std::vector<int16_t> left = leftChannel(got);

        EXPECT_NEAR(double(left.size()), c.totalSeconds * kRate, 3 * kCodecFrame);
        EXPECT_LT(loudest(left, c.silentFrom, c.silentTo), 300);
        // Within a codec frame (and the few samples the tone takes to swell):
        // sound stamped under a frame from the pictures keeps its place.
        EXPECT_NEAR(onsetSeconds(left, c.onsetAfter), c.onsetAt, (kCodecFrame + 64.0) / kRate);
        EXPECT_GT(loudest(left, c.totalSeconds - 0.3, c.totalSeconds - 0.1), 10000);
        EXPECT_NEAR(double(source->counters.silenceInsertedMs.load()), c.silenceMs, 30);
        EXPECT_NEAR(double(source->counters.soundDroppedMs.load()), c.droppedMs, 30);
        EXPECT_EQ(source->counters.damagedPackets.load(), 0);
        EXPECT_EQ(source->counters.endedEarlyAtMs.load(), -1);
    }
}

// Overwrites 2,000 bytes of noise from the first sound packet that starts
// after the middle of an MPEG-TS file (the sound's id is 0x101).
std::vector<uint8_t> damageSound(std::vector<uint8_t> bytes)
{
    for (size_t at = bytes.size() / 2 / 188 * 188; at + 188 + 2000 < bytes.size(); at += 188) {
        const uint8_t* packet = &bytes[at];
        if (packet[0] != 0x47 || (packet[1] & 0x40) == 0 ||
            (((packet[1] & 0x1F) << 8) | packet[2]) != 0x101)
            continue;
        uint32_t seed = 2024;
        for (size_t i = at; i < at + 2000; ++i) {
            seed = seed * 1103515245u + 12345u;
            bytes[i] = uint8_t(seed >> 24);
        }
        return bytes;
    }
    ADD_FAILURE() << "no sound packet in the second half";
    return bytes;
}

TEST_F(SoundTimingTest, DamagedSoundIsToldAndTheRestStaysInPlace)
{
    const std::string cleanPath = clip("clean.ts", timedSpec("ts", 100, 4.0));
    const std::string damagedPath = m_dir.file("damaged.ts");
    test::writeFileBytes(damagedPath, damageSound(test::readFileBytes(cleanPath)));

    DecoderSource clean;
    ASSERT_TRUE(clean.open(cleanPath, ""));
    const std::vector<int16_t> cleanLeft = leftChannel(test::drainSource(clean));
    clean.close();

    auto lines = std::make_shared<test::CapturingSink>();
    ScopedDiagnosticSink use(lines);
    DecoderSource damaged;
    ASSERT_TRUE(damaged.open(damagedPath, ""));
    const std::vector<int16_t> left = leftChannel(test::drainSource(damaged));
    damaged.close();

    // The lost sound is made up, so the length and everything after it stay.
    EXPECT_NEAR(double(left.size()), double(cleanLeft.size()), kCodecFrame);
    const int64_t silenceMs = damaged.counters.silenceInsertedMs;
    EXPECT_GE(silenceMs, 20);
    const int64_t firstMs = damaged.counters.firstSilenceAtMs;
    EXPECT_GT(firstMs, 1000);
    EXPECT_LT(firstMs, 3500);
    int worst = 0;
    for (size_t i = size_t(3.5 * kRate); i < size_t(3.9 * kRate) && i < left.size(); ++i)
        worst = std::max(worst, std::abs(left[i] - cleanLeft[i]));
    EXPECT_LT(worst, 100);

    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "Dshow: %.2f s of silence inserted for missing sound (first at %.2f s)",
                  double(silenceMs) / 1000.0, double(firstMs) / 1000.0);
    const std::vector<std::string> texts = lines->texts(kDshowDiagnostics);
    EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end())
        << testing::PrintToString(texts);
}

TEST_F(SoundTimingTest, ASourceEndingEarlyIsToldWithItsCounters)
{
    // A Matroska file announces its length up front; cut, it ends early.
    const std::vector<uint8_t> whole =
        test::readFileBytes(clip("whole.mkv", timedSpec("mkv", 100, 4.0)));
    const std::string cut = m_dir.file("cut.mkv");
    test::writeFileBytes(cut,
                         std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2));

    auto lines = std::make_shared<test::CapturingSink>();
    ScopedDiagnosticSink use(lines);
    DecoderSource source;
    ASSERT_TRUE(source.open(cut, ""));
    test::drainSource(source);
    source.close();
    const int64_t endedMs = source.counters.endedEarlyAtMs;
    EXPECT_GT(endedMs, 500);
    EXPECT_LT(endedMs, 3000);
    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "Dshow: the source ended at %.2f s, before its announced length of %.2f s",
                  double(endedMs) / 1000.0, source.durationSeconds);
    const std::vector<std::string> texts = lines->texts(kDshowDiagnostics);
    EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end())
        << testing::PrintToString(texts);

    // The sound-only gap: exact figures, and no line for counters at zero.
    ClipSpec soundOnly = timedSpec("mka", 0, 2.0);
    soundOnly.audioGapAtSeconds = 1.0;
    soundOnly.audioGapSeconds = 1.0;
    auto gapLines = std::make_shared<test::CapturingSink>();
    ScopedDiagnosticSink useGap(gapLines);
    DecoderSource gap;
    ASSERT_TRUE(gap.open(clip("gap.mka", soundOnly), ""));
    test::drainSource(gap);
    gap.close();
    // The gap comes at the first 1024-sample frame past 1 s of sound.
    EXPECT_EQ(gapLines->texts(kDshowDiagnostics),
              std::vector<std::string>{
                  "Dshow: 1.00 s of silence inserted for missing sound (first at 1.02 s)"});
}

// The sound of path as the plain decode gives it: every frame converted and
// run through the audio chain, nothing placed.
std::vector<int16_t> plainSound(const std::string& path, const EncodingProfile& profile)
{
    std::vector<int16_t> samples;
    StreamDecoder decoder;
    if (decoder.open(path, AVMEDIA_TYPE_AUDIO) != StreamDecoder::OpenResult::Opened)
        return samples;
    AudioFrameConverter frames;
    AudioChain chain;
    FramePtr frame(av_frame_alloc());
    while (decoder.next(frame.get())) {
        if (!(audioFormatOf(frame.get()) == frames.format())) {
            frames.setFormat(audioFormatOf(frame.get()));
            chain.rebuild(frames.rate(), frames.chainChannels(), frames.chainBits(), profile);
        }
        size_t bytes = 0;
        uint8_t* block = frames.convert(frame.get(), bytes);
        const uint8_t* out = nullptr;
        const size_t outBytes = bytes ? chain.process(block, bytes, out) : 0;
        for (size_t i = 0; i + 1 < outBytes; i += 2)
            samples.push_back(int16_t(uint16_t(out[i] | (out[i + 1] << 8))));
        av_frame_unref(frame.get());
    }
    return samples;
}

TEST_F(SoundTimingTest, CleanFilesHandOutTheirDecodedSoundUnchanged)
{
    ClipSpec mp3 = timedSpec("mkv", 25, -1.0);
    mp3.audioCodec = "mp3";
    ClipSpec pcm = timedSpec("avi", 25, -1.0);
    pcm.videoCodec = "rawvideo";
    pcm.audioCodec = "pcm_s16le";
    const std::pair<const char*, ClipSpec> clips[] = {
        {"clean.mp4", timedSpec("mp4", 25, -1.0)},
        {"clean.mkv", mp3},
        {"clean.avi", pcm},
        {"clean.mov", timedSpec("mov", 25, -1.0)},
    };
    for (const auto& [name, spec] : clips) {
        SCOPED_TRACE(name);
        const std::string path = clip(name, spec);
        std::unique_ptr<MediaSource> source = makeSource(path);
        ASSERT_TRUE(source->open(path, profile({{"out_srate", "22050"}, {"lowpass", "1"}})));
        const test::DrainResult got = test::drainSource(*source);
        source->close();
        const std::vector<int16_t> plain = plainSound(path, source->profile);
        ASSERT_FALSE(plain.empty());
        EXPECT_TRUE(got.samples == plain) << got.samples.size() << " vs " << plain.size();
        EXPECT_EQ(source->counters.silenceInsertedMs.load(), 0);
        EXPECT_EQ(source->counters.soundDroppedMs.load(), 0);
    }
}

} // namespace
} // namespace moxel
