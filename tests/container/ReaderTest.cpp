#include "container/KmfReader.h"

#include "container/FourCC.h"
#include "container/KmfBitWriter.h"
#include "container/KmfFileHeader.h"

#include "KmfSampleFile.h"
#include "KmfTestBytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace moxel;
using namespace moxel::test;

namespace {

struct ReadResult {
    std::vector<KmfFrameInfo> frames;
    KmfReadStatus last = KmfReadStatus::Ok;
};

ReadResult readAll(KmfReader& r)
{
    ReadResult result;
    KmfFrameInfo f;
    // Each frame is at least 7 bytes, so this bound is never reached by a sound reader.
    for (uint64_t guard = 0; guard <= r.sourceSize() / 7 + 1; ++guard) {
        result.last = r.nextFrame(f);
        if (result.last != KmfReadStatus::Ok)
            return result;
        result.frames.push_back(f);
    }
    ADD_FAILURE() << "the reader did not stop";
    return result;
}

ReadResult readAll(const std::vector<uint8_t>& bytes, size_t length, KmfReader& r)
{
    r.openBytes(bytes.data(), length);
    return readAll(r);
}

std::vector<uint8_t> span(const uint8_t* p, int n)
{
    return n ? std::vector<uint8_t>(p, p + n) : std::vector<uint8_t>();
}

void expectFrameMatches(KmfReader& r, const KmfFrameInfo& got, const KmfFrame& want,
                        uint64_t offset)
{
    EXPECT_EQ(got.offset, offset);
    EXPECT_EQ(got.isSync, want.isSync);
    if (want.isSync) {
        EXPECT_EQ(got.videoFormat, want.videoFormat);
        EXPECT_EQ(got.audioFormat, want.audioFormat);
        EXPECT_EQ(got.width, uint32_t(want.width));
        EXPECT_EQ(got.height, uint32_t(want.height));
        EXPECT_EQ(got.frameRateCode, want.frameRateCode);
        EXPECT_EQ(got.syncOffsetMs, want.syncOffset);
    } else {
        EXPECT_EQ(got.videoFormat, 0u);
    }
    ASSERT_EQ(got.auxCount, want.auxCount);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < want.auxCount; ++i) {
        EXPECT_EQ(got.aux[i].type, want.auxType[i]);
        ASSERT_TRUE(r.readAux(got, i, bytes));
        EXPECT_EQ(bytes, span(want.auxData[i], want.auxLength[i])) << "aux " << i;
    }
    ASSERT_TRUE(r.readVideo(got, bytes));
    EXPECT_EQ(bytes, span(want.videoData, want.videoLength));
    ASSERT_TRUE(r.readAudio(got, bytes));
    EXPECT_EQ(bytes, span(want.audioData, want.audioLength));
    uint32_t header = want.isSync ? kKmfSyncHeaderSize : kKmfNonSyncHeaderSize;
    EXPECT_EQ(got.size, header + got.auxBytes() + uint32_t(want.videoLength + want.audioLength));
}

void setLe32(std::vector<uint8_t>& v, size_t at, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v[at + i] = uint8_t(x >> (8 * i));
}

} // namespace

TEST(KmfReader, ReadsBackFramesWithoutHeader)
{
    SampleFile s = makeSampleFile({.withHeader = false});
    KmfReader r;
    r.openBytes(s.bytes.data(), s.bytes.size());
    KmfFileHeaderInfo h;
    EXPECT_EQ(r.readFileHeader(h), KmfReadStatus::End);
    EXPECT_FALSE(r.hasFileHeader());
    ReadResult result = readAll(r);
    EXPECT_EQ(result.last, KmfReadStatus::End) << r.errorText();
    ASSERT_EQ(result.frames.size(), s.frames.size());
    for (size_t i = 0; i < s.frames.size(); ++i) {
        SCOPED_TRACE(i);
        expectFrameMatches(r, result.frames[i], s.frames[i], s.frameOffsets[i]);
    }
    KmfFrameInfo f;
    EXPECT_EQ(r.nextFrame(f), KmfReadStatus::End) << "the end stays the end";
}

TEST(KmfReader, ReadsBackTheFileHeader)
{
    SampleFile s = makeSampleFile({.metadata = "abc", .tocSlots = 7});
    KmfReader r;
    r.openBytes(s.bytes.data(), s.bytes.size());
    KmfFileHeaderInfo h;
    ASSERT_EQ(r.readFileHeader(h), KmfReadStatus::Ok) << r.errorText();
    EXPECT_EQ(h.headerSize, 28u + 3 + 4 * 7);
    EXPECT_EQ(h.fileSize, s.bytes.size());
    EXPECT_EQ(h.lengthMs, 200u);
    EXPECT_EQ(h.metadata, (std::vector<uint8_t>{'a', 'b', 'c'}));
    EXPECT_EQ(h.tocAllocated, 7u);
    EXPECT_EQ(h.tocSize, 7u);
    std::vector<uint32_t> positions;
    for (uint64_t o : s.frameOffsets)
        positions.push_back(uint32_t(o - h.headerSize));
    EXPECT_EQ(h.toc, buildToc(positions, 7));

    ReadResult result = readAll(r);
    EXPECT_EQ(result.last, KmfReadStatus::End) << r.errorText();
    ASSERT_EQ(result.frames.size(), s.frames.size());
    for (size_t i = 0; i < s.frames.size(); ++i)
        expectFrameMatches(r, result.frames[i], s.frames[i], s.frameOffsets[i]);
}

TEST(KmfReader, HeaderWithoutTocOrMetadataAndHeaderOnlyFile)
{
    SampleFile s = makeSampleFile({.metadata = "", .tocSlots = 0});
    KmfReader r;
    ReadResult result = readAll(s.bytes, s.bytes.size(), r);
    EXPECT_EQ(result.last, KmfReadStatus::End) << r.errorText();
    EXPECT_EQ(result.frames.at(0).offset, 28u);

    KmfFileHeader empty;
    empty.fileSize = 0;
    KmfBitWriter w;
    empty.serialise(w);
    std::vector<uint8_t> bytes = bytesOf(w);
    result = readAll(bytes, bytes.size(), r);
    EXPECT_EQ(result.last, KmfReadStatus::End) << r.errorText();
    EXPECT_TRUE(result.frames.empty());

    result = readAll(bytes, 0, r);
    EXPECT_EQ(result.last, KmfReadStatus::End) << "an empty source has no frames";
}

TEST(KmfReader, LargestFrameRoundTrips)
{
    const auto video = pattern(kKmfMaxVideoLength, 3);
    const auto audio = pattern(kKmfMaxAudioLength, 4);
    const auto aux = pattern(kKmfMaxAuxLength, 5);
    KmfFrame f;
    f.setInfo(makeFourCC("VP80"), 65535, 65535, 29.97);
    f.audioFormat = makeFourCC("MP3 ");
    f.isSync = true;
    f.syncOffset = -32768;
    f.videoData = video.data();
    f.videoLength = kKmfMaxVideoLength;
    f.audioData = audio.data();
    f.audioLength = kKmfMaxAudioLength;
    f.auxCount = 15;
    for (int i = 0; i < 15; ++i) {
        f.auxData[i] = aux.data() + i;
        f.auxLength[i] = kKmfMaxAuxLength - i;
        f.auxType[i] = makeFourCC("AX0a") + uint32_t(i << 24);
    }
    KmfBitWriter w;
    ASSERT_EQ(f.packet(w), 0);
    f.isSync = false;
    ASSERT_EQ(f.packet(w), 0);
    std::vector<uint8_t> bytes = bytesOf(w);
    KmfReader r;
    ReadResult result = readAll(bytes, bytes.size(), r);
    EXPECT_EQ(result.last, KmfReadStatus::End) << r.errorText();
    ASSERT_EQ(result.frames.size(), 2u);
    f.isSync = true;
    expectFrameMatches(r, result.frames[0], f, 0);
    f.isSync = false;
    expectFrameMatches(r, result.frames[1], f, result.frames[0].size);
}

TEST(KmfReader, FileReaderStreamsAndAgreesWithTheByteReader)
{
    // Many frames of varied sizes cross the read-ahead buffer in every way.
    const auto payload = pattern(70000, 9);
    KmfBitWriter w;
    std::vector<KmfFrame> frames;
    for (int i = 0; i < 400; ++i) {
        KmfFrame f;
        f.setInfo(kFourCCRgb3, 8, 8, 25.0);
        f.audioFormat = kFourCCPcm;
        f.isSync = i % 50 == 0;
        f.videoData = payload.data() + i;
        f.videoLength = i % 97 == 1 ? 69000 : (i * 131) % 900;
        f.audioData = payload.data() + 7 * i;
        f.audioLength = (i * 37) % 300;
        ASSERT_EQ(f.packet(w), 0);
        frames.push_back(f);
    }
    std::vector<uint8_t> bytes = bytesOf(w);
    TempDir dir;
    writeFileBytes(dir.file("many.kmf"), bytes);

    KmfReader fromFile;
    ASSERT_TRUE(fromFile.openFile(dir.file("many.kmf"))) << fromFile.errorText();
    EXPECT_EQ(fromFile.sourceSize(), bytes.size());
    ReadResult result = readAll(fromFile);
    EXPECT_EQ(result.last, KmfReadStatus::End) << fromFile.errorText();
    ASSERT_EQ(result.frames.size(), frames.size());
    uint64_t offset = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        expectFrameMatches(fromFile, result.frames[i], frames[i], offset);
        offset += result.frames[i].size;
    }
}

TEST(KmfReader, OpenFileFailuresNameThePath)
{
    TempDir dir;
    KmfReader r;
    EXPECT_FALSE(r.openFile(dir.file("missing.kmf")));
    EXPECT_NE(r.errorText().find("missing.kmf"), std::string::npos) << r.errorText();
    EXPECT_FALSE(r.openFile(dir.path().string()));
    EXPECT_NE(r.errorText().find("not a regular file"), std::string::npos) << r.errorText();
    KmfFrameInfo f;
    EXPECT_EQ(r.nextFrame(f), KmfReadStatus::Error) << "an unopened reader reads nothing";
    std::vector<uint8_t> out;
    EXPECT_FALSE(r.readBytes(0, 0, out));
}

TEST(KmfReader, TruncationAtEveryOffsetIsAnErrorAtTheRightByte)
{
    for (bool withHeader : {false, true}) {
        SampleFile s = makeSampleFile({.withHeader = withHeader});
        for (size_t cut = 0; cut < s.bytes.size(); ++cut) {
            SCOPED_TRACE(testing::Message()
                         << (withHeader ? "header, " : "no header, ") << "cut at " << cut);
            std::vector<uint8_t> prefix(s.bytes.begin(),
                                        s.bytes.begin() + cut); // exact size for asan
            KmfReader r;
            ReadResult result = readAll(prefix, prefix.size(), r);

            size_t complete = 0; // frames that end at or before the cut
            uint64_t containing = 0;
            bool atBoundary = false;
            for (size_t i = 0; i < s.frameOffsets.size(); ++i) {
                uint64_t end =
                    i + 1 < s.frameOffsets.size() ? s.frameOffsets[i + 1] : s.bytes.size();
                complete += end <= cut;
                if (s.frameOffsets[i] < cut)
                    containing = s.frameOffsets[i];
                atBoundary = atBoundary || s.frameOffsets[i] == cut;
            }
            if (cut == 0 || (!withHeader && atBoundary)) {
                EXPECT_EQ(result.last, KmfReadStatus::End) << r.errorText();
                EXPECT_EQ(result.frames.size(), complete);
                continue;
            }
            ASSERT_EQ(result.last, KmfReadStatus::Error);
            uint64_t expectOffset;
            if (withHeader && cut < 28)
                expectOffset = 0; // the file header itself is cut
            else if (withHeader && cut < s.headerSize)
                expectOffset = 4; // the header size runs past the end
            else if (atBoundary)
                expectOffset = cut; // the frames end before the declared file size
            else
                expectOffset = containing;
            EXPECT_EQ(r.errorOffset(), expectOffset) << r.errorText();
            EXPECT_EQ(r.errorText().rfind("at byte " + std::to_string(expectOffset) + ": ", 0), 0u)
                << r.errorText();
            EXPECT_EQ(result.frames.size(), withHeader && cut < s.headerSize ? 0 : complete);
            KmfFrameInfo f;
            EXPECT_EQ(r.nextFrame(f), KmfReadStatus::Error) << "errors are final";
            KmfFileHeaderInfo h;
            EXPECT_EQ(r.readFileHeader(h),
                      withHeader && cut >= s.headerSize ? KmfReadStatus::Ok : KmfReadStatus::Error)
                << "a sound header stays readable";
        }
    }
}

TEST(KmfReader, DamagedFieldsAreErrorsAtTheirOffset)
{
    const SampleFile s = makeSampleFile({.metadata = "abc", .tocSlots = 4});
    const size_t size = s.bytes.size();
    const uint64_t f0 = s.frameOffsets[0], f1 = s.frameOffsets[1];
    const uint32_t headerSize = s.headerSize;
    const struct {
        const char* name;
        size_t at;
        uint32_t value;
        int width; // bytes written at `at`
        uint64_t errorOffset;
        const char* textPart;
    } cases[] = {
        {"header size below 28", 4, 27, 4, 4, "smaller than 28"},
        {"header size past the end", 4, uint32_t(size + 1), 4, 4, "past the end"},
        {"file size below header size", 8, 20, 4, 8, "smaller than the header size"},
        {"file size too large", 8, uint32_t(size + 5), 4, size, "file size of"},
        {"file size too small", 8, uint32_t(size - 5), 4, size - 5, "file size of"},
        {"placeholder file size", 8, headerSize, 4, headerSize, "never closed"},
        {"metadata past header", 16, 100, 4, 16, "header bytes"},
        {"metadata beyond limit", 16, kKmfReaderMaxMetadataBytes + 1, 4, 16, "limit"},
        {"toc slots past header", 20, 5, 4, 16, "TOC slots need"},
        {"toc slots beyond limit", 20, 0xFFFFFFF0u, 4, 20, "limit"},
        {"toc used above allocated", 24, 5, 4, 24, "exceed the slots allocated"},
        {"unknown frame magic", f0, 'X', 1, f0, "unknown frame magic"},
        {"video format zero", f0 + 4, 0, 4, f0 + 4, "invalid video format"},
        {"audio format leading space", f0 + 8, makeFourCC(" PCM"), 4, f0 + 8,
         "invalid audio format"},
        {"frame-rate code zero", f0 + 16, 0, 1, f0 + 16, "frame-rate code 0"},
        {"aux total above the length field", f0 + 19, 2 | (10 << 4), 3, f0 + 19, "aux chunks take"},
        {"aux chunk too long", f0 + 24, 32769, 2, f0 + 24, "exceeds 32768"},
        {"bad non-sync marker", f1 + 1, 0xBF, 1, f1, "unknown frame magic"},
        {"non-sync audio too long", f1 + 5, 32769, 2, f1 + 5, "audio length 32769"},
        {"video too long", f1 + 2, 0 | (600000u << 4), 3, f1 + 2, "video length"},
        {"frame runs past the end", f1 + 2, 0 | (60000u << 4), 3, f1, "truncated non-sync frame"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = s.bytes;
        for (int i = 0; i < c.width; ++i)
            bytes[c.at + i] = uint8_t(c.value >> (8 * i));
        KmfReader r;
        ReadResult result = readAll(bytes, bytes.size(), r);
        ASSERT_EQ(result.last, KmfReadStatus::Error);
        EXPECT_EQ(r.errorOffset(), c.errorOffset) << r.errorText();
        EXPECT_NE(r.errorText().find(c.textPart), std::string::npos) << r.errorText();
    }

    // An unknown file size is accepted.
    std::vector<uint8_t> bytes = s.bytes;
    setLe32(bytes, 8, 0xFFFFFFFF);
    KmfReader r;
    EXPECT_EQ(readAll(bytes, bytes.size(), r).last, KmfReadStatus::End) << r.errorText();
}

TEST(KmfReader, GarbageNeverCrashesOrLoops)
{
    std::mt19937 random(12345);
    const SampleFile s = makeSampleFile();
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes;
        if (round % 2) {
            // The sample with a few random bytes overwritten: damage deep in sound structure.
            bytes = s.bytes;
            for (int k = 0; k < 1 + round % 4; ++k)
                bytes[random() % bytes.size()] = uint8_t(random());
            bytes.resize(bytes.size() - random() % 8);
        } else {
            bytes.resize(random() % 200);
            for (uint8_t& b : bytes)
                b = uint8_t(random());
            // Plausible starts reach deeper than pure noise.
            const char* starts[] = {"KMFf", "KMFs", "\xEF\xBE"};
            if (bytes.size() >= 4 && round % 3)
                std::copy_n(starts[round % 3], round % 3 == 2 ? 2 : 4, bytes.begin());
        }
        KmfReader r;
        ReadResult result = readAll(bytes, bytes.size(), r);
        if (result.last == KmfReadStatus::Error) {
            EXPECT_LE(r.errorOffset(), bytes.size());
            EXPECT_EQ(r.errorText().rfind("at byte ", 0), 0u);
        }
        std::vector<uint8_t> out;
        for (const KmfFrameInfo& f : result.frames) {
            ASSERT_TRUE(r.readVideo(f, out));
            ASSERT_TRUE(r.readAudio(f, out));
            EXPECT_LE(f.offset + f.size, bytes.size());
        }
    }
}

TEST(KmfReader, PayloadRequestsOutsideTheSourceFail)
{
    SampleFile s = makeSampleFile({.withHeader = false});
    KmfReader r;
    r.openBytes(s.bytes.data(), s.bytes.size());
    std::vector<uint8_t> out;
    EXPECT_TRUE(r.readBytes(s.bytes.size(), 0, out));
    EXPECT_FALSE(r.readBytes(s.bytes.size(), 1, out));
    EXPECT_FALSE(r.readBytes(1, s.bytes.size(), out));
    EXPECT_FALSE(r.readBytes(UINT64_MAX, 2, out));
    KmfFrameInfo f;
    ASSERT_EQ(r.nextFrame(f), KmfReadStatus::Ok);
    EXPECT_FALSE(r.readAux(f, 2, out));
    EXPECT_FALSE(r.readAux(f, -1, out));
}
