// The end of a job: a source without pictures ends with its sound whatever
// the audio coder keeps back, for every audio format the program offers;
// the compressed sound lasts as long as the source's (or its pictures')
// within one codec frame; a coder that never takes its remainder still
// lets the job end.
#include "DriverTestSupport.h"

#include "../encoder/EncoderTestSupport.h"
#include "../plugins/AvTestMedia.h"

#include "container/FourCC.h"
#include "encoder/CodecPlugins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace moxel {
namespace {

using test::ClipSpec;
using test::KmfSummary;

using DriverEndTest = test::DriverTest;

constexpr int kRate = 44100;

// The four characters of a format, a space as '_' (for file names and traces).
std::string formatName(uint32_t format)
{
    std::string name;
    for (int shift = 0; shift < 32; shift += 8) {
        const char c = char((format >> shift) & 0xFF);
        name += c == ' ' ? '_' : c;
    }
    return name;
}

ClipSpec tone(const char* video, double audioSeconds)
{
    ClipSpec s;
    s.videoCodec = video;
    s.audioCodec = "pcm_s16le";
    s.audioSeconds = audioSeconds;
    return s;
}

// The audio payloads of a finished file, in order: the coder's stream.
std::vector<uint8_t> audioStream(const std::string& path, const KmfSummary& summary)
{
    const std::vector<uint8_t> bytes = test::readFileBytes(path);
    std::vector<uint8_t> stream;
    for (const KmfFrameInfo& f : summary.frames)
        stream.insert(stream.end(), bytes.begin() + std::ptrdiff_t(f.audioOffset),
                      bytes.begin() + std::ptrdiff_t(f.audioOffset + f.audioLength));
    return stream;
}

struct Compressed {
    uint32_t format;
    const char* decoder;
    long frameSamples;
};
const Compressed kCompressed[] = {{makeFourCC("MP3 "), "mp3float", 1152},
                                  {makeFourCC("AAC "), "aac", 1024}};

const Compressed* compressed(uint32_t format)
{
    for (const Compressed& c : kCompressed)
        if (c.format == format)
            return &c;
    return nullptr;
}

} // namespace

TEST_F(DriverEndTest, SoundOnlyJobsEndWithAllTheirSoundInEveryAudioFormat)
{
    const std::string source = clip("tone.wav", tone("", 0.7));
    loadCodecPlugins();
    std::vector<uint32_t> formats;
    for (const CodecType& type : audioCodecTypes())
        if (type.format != kFourCCNone)
            formats.push_back(type.format);
    for (const Compressed& c : kCompressed)
        ASSERT_NE(std::find(formats.begin(), formats.end(), c.format), formats.end())
            << formatName(c.format) << " is not offered";

    for (uint32_t format : formats) {
        SCOPED_TRACE(formatName(format));
        const std::string out = file(formatName(format) + ".kmf");
        auto job = this->job(source, out);
        EXPECT_EQ(run(*job, profile(test::uncompressedKeys({{"audfmt", std::to_string(format)}}))),
                  JobStatus::Complete);
        const KmfSummary s = test::summariseKmf(out);
        ASSERT_TRUE(s.ok) << s.error;
        // 0.7 s at 15 frames a second, the frame that reaches the end and a last one.
        EXPECT_GE(s.frames.size(), 11u);
        EXPECT_LE(s.frames.size(), 12u);
        EXPECT_EQ(s.audioFormat, format);
        if (const Compressed* c = compressed(format)) {
            const test::DecodedAudio decoded =
                test::decodeAudioStream(c->decoder, audioStream(out, s));
            ASSERT_EQ(decoded.error, "");
            ASSERT_FALSE(decoded.channels.empty());
            EXPECT_NEAR(test::loudSpan(decoded.channels[0]), 0.7 * kRate, c->frameSamples);
        }
    }
}

TEST_F(DriverEndTest, WithPicturesTheSoundGoesOnToTheirEndAndNoFurther)
{
    // One second of pictures, 1.5 s of sound.
    const std::string source = clip("clip.avi", tone("mpeg4", 1.5));
    for (const Compressed& c : kCompressed) {
        SCOPED_TRACE(formatName(c.format));
        const std::string out = file(formatName(c.format) + ".kmf");
        auto job = this->job(source, out);
        EXPECT_EQ(
            run(*job, profile(test::uncompressedKeys({{"audfmt", std::to_string(c.format)}}))),
            JobStatus::Complete);
        const KmfSummary s = test::summariseKmf(out);
        ASSERT_TRUE(s.ok) << s.error;
        // 25 pictures, then one frame without a picture for what the coder held back.
        ASSERT_EQ(s.frames.size(), 26u);
        EXPECT_EQ(s.frames.back().videoLength, 0u);
        EXPECT_GT(s.frames.back().audioLength, 0u);
        const test::DecodedAudio decoded = test::decodeAudioStream(c.decoder, audioStream(out, s));
        ASSERT_EQ(decoded.error, "");
        ASSERT_FALSE(decoded.channels.empty());
        EXPECT_NEAR(test::loudSpan(decoded.channels[0]), 1.0 * kRate, c.frameSamples);
    }
}

TEST_F(DriverEndTest, ACoderThatNeverTakesItsRemainderStillEnds)
{
    const std::string source = clip("tone.wav", tone("", 0.7)); // 123480 bytes
    test::FakeCoderFactory coders;
    coders.audio = test::wholeBlocks(4000, 10);
    const std::string out = file("fake.kmf");
    auto job = this->job(source, out);
    startJob(m_run, *job,
             profile(test::uncompressedKeys({{"audfmt", std::to_string(makeFourCC("FAKA"))}})),
             m_prompt, [&coders](JobWorkerBlock* block) {
                 block->encoder->setCoderFactory(&coders);
                 return startWorkerThread(block);
             });
    test::waitForWorker(*job);
    EXPECT_EQ(job->statusValue(), JobStatus::Complete);
    const KmfSummary s = test::summariseKmf(out);
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.audioBytes, 30u * 10); // every whole block; the 3480 left over are lost
    EXPECT_LE(s.frames.size(), 12u);
}

} // namespace moxel
