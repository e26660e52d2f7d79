// Fakes and readers for the encoder tests: scripted coders and a factory that
// hands them to KmfEncoder, a minimal reader of the frames and the file
// header the encoder writes (kept apart from the container's own reader on
// purpose), and a feeder that paces PCM the way the conversion worker does.
#pragma once

#include "encoder/CoderFactory.h"
#include "encoder/FlushableAudioCoder.h"
#include "encoder/KmfEncoder.h"
#include "support/TempDir.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace moxel::test {

// Result and key flag of picture number `index` (0, 1, ...).
using VideoScript = std::function<int(int index, int* keyframe)>;
// Output bytes of one call; sets *consumed (clamped to inLength by the fake).
using AudioScript = std::function<int(int callIndex, int inLength, int* consumed, int outRoom)>;

class FakeVideoCoder : public VideoCoder {
  public:
    explicit FakeVideoCoder(VideoScript script) : m_script(std::move(script)) {}
    int Encode(const void* frame, void* out, int* keyframe) override;
    int calls = 0;

  private:
    VideoScript m_script;
};

class FakeAudioCoder : public AudioCoder {
  public:
    explicit FakeAudioCoder(AudioScript script) : m_script(std::move(script)) {}
    int Encode(int callIndex, const void* in, int inLength, int* consumed, void* out,
               int outRoom) override;
    int calls = 0;

  private:
    AudioScript m_script;
};

// Output bytes of one flush call; sets *consumed and *pending.
using FlushScript = std::function<int(int inLength, int* consumed, int outRoom, int* pending)>;

// A scripted coder that can be flushed: Encode runs `encoder`, Flush the
// flush script and writes kFakeFlushByte bytes. It notes the input each
// flush call was given and any Encode call after the first flush.
inline constexpr uint8_t kFakeFlushByte = 0xF1;
class FakeFlushingAudioCoder : public FlushableAudioCoder {
  public:
    FakeFlushingAudioCoder(AudioScript script, FlushScript flush)
        : encoder(std::move(script)), m_flush(std::move(flush))
    {
    }
    int Encode(int callIndex, const void* in, int inLength, int* consumed, void* out,
               int outRoom) override;
    int Flush(const void* in, int inLength, int* consumed, void* out, int outRoom,
              int* pending) override;

    FakeAudioCoder encoder;
    std::vector<int> flushInputs; // inLength of each flush call
    int encodeCallsAfterFlush = 0;

  private:
    FlushScript m_flush;
};

// Null scripts refuse the format. rewrite* replaces the format when nonzero;
// with a flush script the audio coder is a FakeFlushingAudioCoder.
class FakeCoderFactory : public CoderFactory {
  public:
    std::unique_ptr<VideoCoder> createVideoCoder(int, int, double, uint32_t, uint32_t* format,
                                                 const char*) override;
    std::unique_ptr<AudioCoder> createAudioCoder(int, int, int, uint32_t, uint32_t* format,
                                                 const char*) override;

    VideoScript video;
    AudioScript audio;
    FlushScript flush;
    uint32_t rewriteVideo = 0;
    uint32_t rewriteAudio = 0;
    FakeVideoCoder* videoCoder = nullptr; // owned by the encoder
    FakeAudioCoder* audioCoder = nullptr;
    FakeFlushingAudioCoder* flushingCoder = nullptr;
};

// Scripts: a fixed-size picture with the key flag from a predicate, and an
// audio coder that takes `chunk` bytes a call and writes `outPerCall` bytes.
VideoScript videoOfSize(int bytes, std::function<bool(int)> key = nullptr);
AudioScript audioChunks(int chunk, int outPerCall);
// An audio coder of whole blocks: takes `block` bytes a call while that much
// is queued and never a remainder, writing outPerBlock bytes a block.
AudioScript wholeBlocks(int block, int outPerBlock);

struct ParsedFrame {
    size_t offset = 0; // from the start of the file
    bool sync = false;
    uint32_t videoFormat = 0;
    uint32_t audioFormat = 0;
    int width = 0;
    int height = 0;
    int frameRateCode = 0;
    int16_t syncOffset = 0;
    std::vector<uint8_t> video;
    std::vector<uint8_t> audio;
};

struct ParsedHeader {
    uint32_t headerSize = 0;
    uint32_t fileSize = 0;
    uint32_t lengthMs = 0;
    std::string metadata;
    uint32_t tocAllocated = 0;
    uint32_t tocSize = 0;
    std::vector<uint32_t> toc;
};

uint32_t readU32(const std::vector<uint8_t>& b, size_t at);
// Frames from `start` to the end; fails the test on a malformed frame.
std::vector<ParsedFrame> parseFrames(const std::vector<uint8_t>& bytes, size_t start);
// Fails the test when the file does not start with "KMFf".
ParsedHeader parseHeader(const std::vector<uint8_t>& bytes);
// Parses a whole file, with or without a header.
std::vector<ParsedFrame> parseFile(const std::vector<uint8_t>& bytes,
                                   ParsedHeader* header = nullptr);

// An encoder with fake coders, writing to out.kmf in a folder of its own.
struct FakeJob {
    explicit FakeJob(VideoScript video = nullptr);
    // setVideo with a fake format and 4x4 pictures.
    void setFakeVideo(double frameRate = 25.0);
    std::string out() const { return dir.file("out.kmf"); }
    void open() { encoder.openOutput(out().c_str()); }
    std::vector<ParsedFrame> frames(ParsedHeader* header = nullptr) const;

    TempDir dir;
    FakeCoderFactory coders;
    KmfEncoder encoder; // declared last: its coders go before the factory
};

// Queues PCM until the encoder needs no more for its next frame, in blocks of
// at most 16384 bytes, from pcm starting at *offset.
void feedAudio(KmfEncoder& encoder, const std::vector<uint8_t>& pcm, size_t* offset);

// A picture buffer big enough for any fake coder (the fakes ignore its contents).
const void* dummyPicture();

} // namespace moxel::test
