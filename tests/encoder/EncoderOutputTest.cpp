// What the encoder leaves in the file: the header placeholder and its final
// rewrite (sizes, length, table of contents), the headerless layout, and the
// fixed messages for configuration, coder, frame and write failures. A file
// takes the destination's place only when it is kept; a failed open, a
// discarded file or a header that cannot be made leave it as it was.
#include "EncoderTestSupport.h"

#include "container/FourCC.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

using namespace moxel;
using namespace moxel::test;

namespace {

const uint32_t kFakeVideo = makeFourCC("FAKV");
const uint32_t kFakeAudio = makeFourCC("FAKA");

// Pictures of 5 to 11 bytes, so frame offsets are not evenly spaced.
VideoScript unevenVideo()
{
    return [](int index, int* keyframe) {
        *keyframe = 0;
        return 5 + index % 7;
    };
}

struct HeaderCase {
    const char* name;
    double fps;
    int frames;
    int tocSize;
    std::string meta;
    uint32_t expectLengthMs;
    std::vector<int> expectTocFrames; // frame index per slot, -1 for an unused slot
};

} // namespace

TEST(KmfEncoderOutput, FinalHeaderMatchesTheFile)
{
    const HeaderCase cases[] = {
        {"no TOC, no metadata", 25.0, 250, 0, "", 10000, {}},
        {"length truncated", 15.0, 7, 0, "", 466, {}},
        {"TOC samples evenly", 25.0, 10, 4, "abc", 400, {0, 2, 5, 7}},
        {"more slots than frames", 25.0, 3, 5, "", 120, {0, 0, 1, 1, 2}},
        {"no frames at all", 25.0, 0, 3, "m", 0, {-1, -1, -1}},
    };
    for (const HeaderCase& c : cases) {
        FakeJob job(unevenVideo());
        KmfEncoder& encoder = job.encoder;
        ASSERT_EQ(encoder.setHdrMetaData(reinterpret_cast<const uint8_t*>(c.meta.data()),
                                         int(c.meta.size())),
                  0);
        encoder.setHdrTocSize(c.tocSize);
        encoder.setWriteHeader(true);
        job.setFakeVideo(c.fps);
        job.open();
        for (int i = 0; i < c.frames; ++i)
            encoder.addVideoFrame(dummyPicture());
        ASSERT_TRUE(encoder.close()) << c.name;
        ASSERT_EQ(encoder.errorText(), nullptr) << c.name;

        std::vector<uint8_t> bytes = readFileBytes(job.out());
        ParsedHeader h;
        std::vector<ParsedFrame> frames = parseFile(bytes, &h);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(h.headerSize, 28 + c.meta.size() + 4 * size_t(c.tocSize));
        EXPECT_EQ(h.fileSize, bytes.size());
        EXPECT_EQ(h.lengthMs, c.expectLengthMs);
        EXPECT_EQ(h.metadata, c.meta);
        EXPECT_EQ(h.tocAllocated, uint32_t(c.tocSize));
        EXPECT_EQ(h.tocSize, uint32_t(c.tocSize));
        ASSERT_EQ(int(frames.size()), c.frames);
        if (!frames.empty()) {
            EXPECT_EQ(frames[0].offset, h.headerSize);
        }
        std::vector<uint32_t> expectToc;
        for (int k : c.expectTocFrames)
            expectToc.push_back(k < 0 ? 0xFFFFFFFFu
                                      : uint32_t(frames[size_t(k)].offset - h.headerSize));
        EXPECT_EQ(h.toc, expectToc);
        std::vector<uint32_t> positions;
        for (const ParsedFrame& f : frames)
            positions.push_back(uint32_t(f.offset - h.headerSize));
        EXPECT_EQ(encoder.framePositions(), positions);
    }
}

TEST(KmfEncoderOutput, PlaceholderIsWrittenAtOpen)
{
    FakeJob job(unevenVideo());
    KmfEncoder& encoder = job.encoder;
    encoder.setHdrMetaData(reinterpret_cast<const uint8_t*>("xy"), 2);
    encoder.setHdrTocSize(4); // a TOC size alone turns the header on
    job.setFakeVideo();
    job.open();
    ASSERT_EQ(encoder.errorText(), nullptr);

    // Written into the temporary; the destination appears only at close.
    EXPECT_FALSE(std::filesystem::exists(job.out()));
    std::vector<uint8_t> bytes = readFileBytes(encoder.writingPath());
    ParsedHeader h = parseHeader(bytes);
    EXPECT_EQ(bytes.size(), 46u);
    EXPECT_EQ(h.headerSize, 46u);
    EXPECT_EQ(h.fileSize, 46u);
    EXPECT_EQ(h.lengthMs, 0u);
    EXPECT_EQ(h.metadata, "xy");
    EXPECT_EQ(h.toc, std::vector<uint32_t>(4, 0));
}

TEST(KmfEncoderOutput, WithoutHeaderTheFileStartsWithTheFirstFrame)
{
    FakeJob job(unevenVideo());
    KmfEncoder& encoder = job.encoder;
    encoder.setHdrTocSize(0);
    job.setFakeVideo();
    job.open();
    for (int i = 0; i < 5; ++i)
        encoder.addVideoFrame(dummyPicture());
    ASSERT_TRUE(encoder.close());

    std::vector<uint8_t> bytes = readFileBytes(job.out());
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(std::memcmp(bytes.data(), "KMFs", 4), 0);
    EXPECT_EQ(parseFrames(bytes, 0).size(), 5u);
    EXPECT_TRUE(encoder.framePositions().empty());
}

TEST(KmfEncoderOutput, OpenFailures)
{
    struct Case {
        const char* name;
        bool setAudio;
        uint32_t audioFormat;
        bool setVideo;
        uint32_t videoFormat;
        bool audioCoder;
        bool videoCoder;
        const char* expect;
    } cases[] = {
        {"audio format never chosen", true, 0, true, kFakeVideo, true, true,
         "error: no output audio codec selected"},
        {"video format never chosen, video only", false, 0, true, 0, true, true,
         "error: no output video codec selected"},
        {"both never chosen", true, 0, true, 0, true, true,
         "error: no output audio codec selected"},
        {"no audio coder", true, kFakeAudio, true, kFakeVideo, false, true,
         "openOutput: error creating audio compressor"},
        {"no video coder", true, kFakeAudio, true, kFakeVideo, true, false,
         "openOutput: error creating video compressor"},
    };
    for (const Case& c : cases) {
        FakeJob job(c.videoCoder ? unevenVideo() : nullptr);
        writeFileText(job.out(), "the file of an earlier run");
        if (c.audioCoder)
            job.coders.audio = audioChunks(100, 10);
        KmfEncoder& encoder = job.encoder;
        encoder.setWriteHeader(true);
        if (c.setVideo)
            encoder.setVideo(c.videoFormat, 4, 4, 25.0, kFourCCRgba, "/profiles/a.pf");
        if (c.setAudio)
            encoder.setAudio(c.audioFormat, 8000, 1, 16, kFourCCPcm, "/profiles/a.pf");
        job.open();
        ASSERT_NE(encoder.errorText(), nullptr) << c.name;
        EXPECT_STREQ(encoder.errorText(), c.expect) << c.name;
        // The failed open leaves the earlier file as it was, and nothing beside it.
        EXPECT_TRUE(encoder.close()) << c.name;
        EXPECT_EQ(readFileText(job.out()), "the file of an earlier run") << c.name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(job.dir.path()), {}), 1)
            << c.name;
    }
}

TEST(KmfEncoderOutput, AHeaderTooLargeForItsSizeFieldEndsTheOpenBeforeAnyFile)
{
    FakeJob job(unevenVideo());
    KmfEncoder& encoder = job.encoder;
    encoder.setHdrTocSize(1 << 30); // 4 GiB of slots: the 32-bit size would wrap
    job.setFakeVideo();
    job.open();
    EXPECT_STREQ(encoder.errorText(), "openOutput: hdrtoc is too large for the file header");
    EXPECT_EQ(job.coders.videoCoder, nullptr);
    EXPECT_TRUE(std::filesystem::is_empty(job.dir.path()));
    EXPECT_TRUE(encoder.close());
}

TEST(KmfEncoderOutput, ADiscardedFileLeavesTheDestinationAsItWas)
{
    FakeJob job(unevenVideo());
    KmfEncoder& encoder = job.encoder;
    writeFileText(job.out(), "old");
    job.setFakeVideo();
    job.open();
    ASSERT_EQ(encoder.errorText(), nullptr);
    encoder.addVideoFrame(dummyPicture());
    EXPECT_TRUE(encoder.close(OutputEnd::Discard));
    EXPECT_EQ(readFileText(job.out()), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(job.dir.path()), {}), 1);
}

TEST(KmfEncoderOutput, UnopenableDestination)
{
    FakeJob job(unevenVideo());
    KmfEncoder& encoder = job.encoder;
    job.setFakeVideo();
    encoder.openOutput(job.dir.file("missing/out.kmf").c_str());
    EXPECT_STREQ(encoder.errorText(), "openOutput: error opening output file");
    EXPECT_EQ(job.coders.videoCoder, nullptr);
}

TEST(KmfEncoderOutput, StreamDestinationGoesToTheStreamOutput)
{
    FakeJob job(unevenVideo());
    KmfEncoder& encoder = job.encoder;
    job.setFakeVideo();
    std::string destination = "qz:127.0.0.1:9:" + job.dir.file("no-such-header.txt");
    encoder.openOutput(destination.c_str());
    ASSERT_NE(encoder.errorText(), nullptr);
    EXPECT_EQ(std::string(encoder.errorText()).rfind("openOutput: ", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(destination)); // never taken for a file name
}

TEST(KmfEncoderOutput, CoderErrorLeavesTheCountersAlone)
{
    FakeJob job([](int index, int* keyframe) {
        *keyframe = 1;
        return index == 1 ? -1 : 4;
    });
    job.coders.audio = audioChunks(100, 10);
    KmfEncoder& encoder = job.encoder;
    job.setFakeVideo();
    encoder.setAudio(kFakeAudio, 8000, 1, 16, kFourCCPcm, nullptr);
    job.open();
    std::vector<uint8_t> pcm(20000, 0);
    encoder.addAudioData(pcm.data(), int(pcm.size()));
    encoder.addVideoFrame(dummyPicture());
    uint64_t consumed = encoder.audioBytesConsumed();
    encoder.addVideoFrame(dummyPicture());
    EXPECT_STREQ(encoder.errorText(), "addVideoFrame: vidcoder->Encode() returned error");
    EXPECT_EQ(encoder.videoFrameCount(), 1u);
    EXPECT_EQ(encoder.framesWritten(), 1u);
    EXPECT_EQ(encoder.audioBytesConsumed(), consumed); // no audio drained for it
    encoder.close();
    EXPECT_EQ(job.frames().size(), 1u);
}

TEST(KmfEncoderOutput, PacketErrorLeavesTheCountersAdvanced)
{
    FakeJob job(unevenVideo());
    KmfEncoder& encoder = job.encoder;
    job.setFakeVideo(0.5); // rate code 0: invalid
    job.open();
    ASSERT_EQ(encoder.errorText(), nullptr);
    encoder.addVideoFrame(dummyPicture());
    EXPECT_STREQ(encoder.errorText(), "addVideoFrame: packet() returned < 0 (error in parms)");
    EXPECT_EQ(encoder.videoFrameCount(), 1u);
    EXPECT_EQ(encoder.framesWritten(), 1u);
    encoder.close();
    EXPECT_TRUE(readFileBytes(job.out()).empty());
}

TEST(KmfEncoderOutput, WriteErrorsAreReported)
{
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "/dev/full is not writable here";
    struct Case {
        bool header;
        const char* afterOpen;
        const char* afterFrame;
    } cases[] = {
        // A device takes no header: the first write is the first frame's.
        {true, nullptr, "addVideoFrame: error writing output file"},
        {false, nullptr, "addVideoFrame: error writing output file"},
    };
    for (const Case& c : cases) {
        FakeJob job(unevenVideo());
        KmfEncoder& encoder = job.encoder;
        encoder.setWriteHeader(c.header);
        job.setFakeVideo();
        encoder.openOutput("/dev/full");
        EXPECT_EQ(encoder.errorText() ? std::string(encoder.errorText()) : "",
                  c.afterOpen ? c.afterOpen : "");
        if (!c.afterOpen)
            encoder.addVideoFrame(dummyPicture());
        EXPECT_STREQ(encoder.errorText(), c.afterFrame);
        EXPECT_TRUE(encoder.framePositions().empty());
    }
}

TEST(KmfEncoderOutput, APipeTakesTheFramesWithoutTheHeader)
{
    FakeJob job(unevenVideo());
    const std::string fifo = job.dir.file("pipe.kmf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    KmfEncoder& encoder = job.encoder;
    encoder.setWriteHeader(true);
    encoder.setHdrTocSize(8);
    job.setFakeVideo();
    encoder.openOutput(fifo.c_str());
    ASSERT_EQ(encoder.errorText(), nullptr);
    for (int i = 0; i < 3; ++i)
        encoder.addVideoFrame(dummyPicture());
    EXPECT_TRUE(encoder.close());
    EXPECT_EQ(encoder.errorText(), nullptr);
    EXPECT_TRUE(encoder.framePositions().empty());
    std::vector<uint8_t> bytes(65536);
    const ssize_t got = ::read(reader, bytes.data(), bytes.size());
    ::close(reader);
    ASSERT_GT(got, 0);
    bytes.resize(size_t(got));
    EXPECT_EQ(std::memcmp(bytes.data(), "KMFs", 4), 0);
    EXPECT_EQ(parseFrames(bytes, 0).size(), 3u);
}

TEST(KmfEncoderOutput, AFileThatCannotTakeItsNameIsAnErrorOfClose)
{
    FakeJob job(unevenVideo());
    KmfEncoder& encoder = job.encoder;
    encoder.setWriteHeader(true);
    job.setFakeVideo();
    job.open();
    ASSERT_EQ(encoder.errorText(), nullptr);
    encoder.addVideoFrame(dummyPicture());
    // A folder with something in it took the name meanwhile.
    std::filesystem::create_directory(job.out());
    writeFileText(job.out() + "/inside", "x");
    EXPECT_FALSE(encoder.close());
    EXPECT_STREQ(encoder.errorText(), "close: error renaming the finished file to the output file");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(job.dir.path()), {}), 1);
    EXPECT_TRUE(encoder.close()); // already closed: nothing left to fail
}
