#include "EncoderTestSupport.h"

#include "container/FourCC.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace moxel::test {

int FakeVideoCoder::Encode(const void*, void* out, int* keyframe)
{
    int n = m_script(calls++, keyframe);
    if (n > 0)
        std::memset(out, 0xA5, size_t(n));
    return n;
}

int FakeAudioCoder::Encode(int callIndex, const void* in, int inLength, int* consumed, void* out,
                           int outRoom)
{
    ++calls;
    int n = m_script(callIndex, inLength, consumed, outRoom);
    // The output copies the first input bytes, so tests can follow the audio.
    for (int i = 0; i < n && i < outRoom; ++i)
        static_cast<uint8_t*>(out)[i] = i < inLength ? static_cast<const uint8_t*>(in)[i] : 0;
    return n;
}

int FakeFlushingAudioCoder::Encode(int callIndex, const void* in, int inLength, int* consumed,
                                   void* out, int outRoom)
{
    if (!flushInputs.empty())
        ++encodeCallsAfterFlush;
    return encoder.Encode(callIndex, in, inLength, consumed, out, outRoom);
}

int FakeFlushingAudioCoder::Flush(const void*, int inLength, int* consumed, void* out, int outRoom,
                                  int* pending)
{
    flushInputs.push_back(inLength);
    *consumed = 0;
    *pending = 0;
    int n = m_flush(inLength, consumed, outRoom, pending);
    for (int i = 0; i < n && i < outRoom; ++i)
        static_cast<uint8_t*>(out)[i] = kFakeFlushByte;
    return n;
}

namespace {

// A fake running script, or null without one; the factory keeps an observer.
template <typename Fake, typename Script>
std::unique_ptr<Fake> makeFake(const Script& script, uint32_t rewrite, uint32_t* format,
                               Fake** observer)
{
    if (!script)
        return nullptr;
    if (rewrite)
        *format = rewrite;
    auto coder = std::make_unique<Fake>(script);
    *observer = coder.get();
    return coder;
}

} // namespace

std::unique_ptr<VideoCoder> FakeCoderFactory::createVideoCoder(int, int, double, uint32_t,
                                                               uint32_t* format, const char*)
{
    return makeFake(video, rewriteVideo, format, &videoCoder);
}

std::unique_ptr<AudioCoder> FakeCoderFactory::createAudioCoder(int, int, int, uint32_t,
                                                               uint32_t* format, const char*)
{
    if (!flush || !audio)
        return makeFake(audio, rewriteAudio, format, &audioCoder);
    if (rewriteAudio)
        *format = rewriteAudio;
    auto coder = std::make_unique<FakeFlushingAudioCoder>(audio, flush);
    flushingCoder = coder.get();
    audioCoder = &coder->encoder;
    return coder;
}

VideoScript videoOfSize(int bytes, std::function<bool(int)> key)
{
    return [bytes, key](int index, int* keyframe) {
        *keyframe = key && key(index) ? 1 : 0;
        return bytes;
    };
}

AudioScript audioChunks(int chunk, int outPerCall)
{
    return [chunk, outPerCall](int, int inLength, int* consumed, int outRoom) {
        *consumed = std::min(chunk, inLength);
        return std::min(outPerCall, outRoom);
    };
}

AudioScript wholeBlocks(int block, int outPerBlock)
{
    return [block, outPerBlock](int, int inLength, int* consumed, int outRoom) {
        if (inLength < block || outRoom < outPerBlock)
            return 0;
        *consumed = block;
        return outPerBlock;
    };
}

uint32_t readU32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

namespace {

uint32_t readU16(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8;
}

} // namespace

std::vector<ParsedFrame> parseFrames(const std::vector<uint8_t>& b, size_t at)
{
    std::vector<ParsedFrame> frames;
    while (at < b.size()) {
        ParsedFrame f;
        f.offset = at;
        size_t lengths;
        if (b.size() - at >= 24 && std::memcmp(&b[at], "KMFs", 4) == 0) {
            f.sync = true;
            f.videoFormat = readU32(b, at + 4);
            f.audioFormat = readU32(b, at + 8);
            f.width = int(readU16(b, at + 12));
            f.height = int(readU16(b, at + 14));
            f.frameRateCode = b[at + 16];
            f.syncOffset = int16_t(readU16(b, at + 17));
            lengths = at + 19;
        } else if (b.size() - at >= 7 && b[at] == 0xEF && b[at + 1] == 0xBE) {
            lengths = at + 2;
        } else {
            ADD_FAILURE() << "no frame at offset " << at;
            return frames;
        }
        uint32_t field = uint32_t(b[lengths]) | readU16(b, lengths + 1) << 8;
        EXPECT_EQ(field & 15, 0u) << "aux chunks at offset " << at;
        size_t videoLength = field >> 4;
        size_t audioLength = readU16(b, lengths + 3);
        size_t payload = lengths + 5;
        if (b.size() - payload < videoLength + audioLength) {
            ADD_FAILURE() << "truncated frame at offset " << at;
            return frames;
        }
        f.video.assign(b.begin() + long(payload), b.begin() + long(payload + videoLength));
        payload += videoLength;
        f.audio.assign(b.begin() + long(payload), b.begin() + long(payload + audioLength));
        at = payload + audioLength;
        frames.push_back(std::move(f));
    }
    return frames;
}

ParsedHeader parseHeader(const std::vector<uint8_t>& b)
{
    ParsedHeader h;
    if (b.size() < 28 || std::memcmp(b.data(), "KMFf", 4) != 0) {
        ADD_FAILURE() << "no file header";
        return h;
    }
    h.headerSize = readU32(b, 4);
    h.fileSize = readU32(b, 8);
    h.lengthMs = readU32(b, 12);
    uint32_t metaLength = readU32(b, 16);
    h.tocAllocated = readU32(b, 20);
    h.tocSize = readU32(b, 24);
    if (b.size() < 28 + size_t(metaLength) + 4 * size_t(h.tocAllocated)) {
        ADD_FAILURE() << "truncated file header";
        return h;
    }
    h.metadata.assign(b.begin() + 28, b.begin() + 28 + metaLength);
    for (uint32_t i = 0; i < h.tocAllocated; ++i)
        h.toc.push_back(readU32(b, 28 + metaLength + 4 * i));
    return h;
}

std::vector<ParsedFrame> parseFile(const std::vector<uint8_t>& bytes, ParsedHeader* header)
{
    size_t start = 0;
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "KMFf", 4) == 0) {
        ParsedHeader h = parseHeader(bytes);
        start = h.headerSize;
        if (header)
            *header = h;
    }
    return parseFrames(bytes, start);
}

FakeJob::FakeJob(VideoScript video)
{
    coders.video = std::move(video);
    encoder.setCoderFactory(&coders);
}

void FakeJob::setFakeVideo(double frameRate)
{
    encoder.setVideo(makeFourCC("FAKV"), 4, 4, frameRate, kFourCCRgba, nullptr);
}

std::vector<ParsedFrame> FakeJob::frames(ParsedHeader* header) const
{
    return parseFile(readFileBytes(out()), header);
}

void feedAudio(KmfEncoder& encoder, const std::vector<uint8_t>& pcm, size_t* offset)
{
    while (encoder.audioNeeded() != AudioNeed::Enough && *offset < pcm.size()) {
        size_t n = std::min<size_t>(16384, pcm.size() - *offset);
        encoder.addAudioData(pcm.data() + *offset, int(n));
        *offset += n;
    }
}

const void* dummyPicture()
{
    static const std::vector<uint8_t> picture(64 * 64 * 4, 0x11);
    return picture.data();
}

} // namespace moxel::test
