#include "fuzz/KmfWalk.h"

#include "container/FourCC.h"
#include "container/KmfBitWriter.h"
#include "container/KmfFileHeader.h"
#include "fuzz/FuzzTarget.h"

#include <algorithm>
#include <vector>

namespace moxel::fuzz {

namespace {

// FNV-1a, enough to tell payloads apart in a transcript.
uint64_t hashOf(const std::vector<uint8_t>& bytes)
{
    uint64_t h = 14695981039346656037ull;
    for (uint8_t b : bytes)
        h = (h ^ b) * 1099511628211ull;
    return h;
}

void readPayload(bool ok, const std::vector<uint8_t>& bytes, uint32_t length, std::string& out)
{
    MOXEL_FUZZ_CHECK(ok);
    MOXEL_FUZZ_CHECK(bytes.size() == length);
    out += " " + std::to_string(length) + ":" + std::to_string(hashOf(bytes));
}

void checkFailure(const KmfReader& reader, std::string& out)
{
    MOXEL_FUZZ_CHECK(reader.failed());
    MOXEL_FUZZ_CHECK(reader.errorText().rfind("at byte ", 0) == 0);
    MOXEL_FUZZ_CHECK(reader.errorOffset() <= reader.sourceSize());
    out += "error " + reader.errorText() + "\n";
}

void walkFrame(KmfReader& reader, const KmfFrameInfo& f, uint64_t expectedOffset, std::string& out)
{
    const uint64_t size = reader.sourceSize();
    MOXEL_FUZZ_CHECK(f.offset == expectedOffset);
    MOXEL_FUZZ_CHECK(f.size >= uint32_t(f.isSync ? kKmfSyncHeaderSize : kKmfNonSyncHeaderSize));
    MOXEL_FUZZ_CHECK(f.offset + f.size <= size);
    MOXEL_FUZZ_CHECK(f.auxCount >= 0 && f.auxCount <= kKmfMaxAuxChunks);
    MOXEL_FUZZ_CHECK(f.videoLength <= uint32_t(kKmfMaxVideoLength));
    MOXEL_FUZZ_CHECK(f.audioLength <= uint32_t(kKmfMaxAudioLength));
    MOXEL_FUZZ_CHECK(f.audioOffset + f.audioLength == f.offset + f.size);
    if (f.isSync)
        MOXEL_FUZZ_CHECK(isValidFourCC(f.videoFormat) && isValidFourCC(f.audioFormat) &&
                         f.frameRateCode != 0);

    out += "frame " + std::to_string(f.offset) + (f.isSync ? " sync " : " ") +
           std::to_string(f.videoFormat) + " " + std::to_string(f.audioFormat) + " " +
           std::to_string(f.width) + "x" + std::to_string(f.height) + " " +
           std::to_string(f.frameRateCode) + " " + std::to_string(f.syncOffsetMs);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < f.auxCount; ++i) {
        out += " aux" + std::to_string(f.aux[i].type);
        MOXEL_FUZZ_CHECK(f.aux[i].dataOffset + f.aux[i].length <= f.videoOffset);
        readPayload(reader.readAux(f, i, bytes), bytes, f.aux[i].length, out);
    }
    MOXEL_FUZZ_CHECK(!reader.readAux(f, f.auxCount, bytes));
    readPayload(reader.readVideo(f, bytes), bytes, f.videoLength, out);
    readPayload(reader.readAudio(f, bytes), bytes, f.audioLength, out);
    out += "\n";
}

} // namespace

std::string walkKmf(KmfReader& reader)
{
    std::string out;
    const uint64_t size = reader.sourceSize();
    KmfFileHeaderInfo header;
    KmfReadStatus status = reader.readFileHeader(header);
    uint64_t next = 0;
    if (status == KmfReadStatus::Ok) {
        MOXEL_FUZZ_CHECK(reader.hasFileHeader());
        MOXEL_FUZZ_CHECK(header.headerSize >= uint32_t(kKmfFileHeaderFixedSize));
        MOXEL_FUZZ_CHECK(header.headerSize <= size);
        MOXEL_FUZZ_CHECK(header.toc.size() == header.tocAllocated);
        MOXEL_FUZZ_CHECK(header.tocSize <= header.tocAllocated);
        MOXEL_FUZZ_CHECK(kKmfFileHeaderFixedSize + header.metadata.size() +
                             4 * uint64_t(header.tocAllocated) <=
                         header.headerSize);
        out += "header " + std::to_string(header.headerSize) + " " +
               std::to_string(header.fileSize) + " " + std::to_string(header.lengthMs) + " " +
               std::to_string(header.tocSize) + "/" + std::to_string(header.tocAllocated) + " " +
               std::to_string(hashOf(header.metadata)) + "\n";
        next = header.headerSize;
    } else if (status == KmfReadStatus::Error) {
        checkFailure(reader, out);
    }

    // Every frame takes at least 7 bytes, so a reader that keeps answering
    // Ok beyond this many calls is not moving on.
    const uint64_t mostFrames = size / kKmfNonSyncHeaderSize + 1;
    uint64_t frames = 0;
    for (;;) {
        KmfFrameInfo frame;
        status = reader.nextFrame(frame);
        if (status != KmfReadStatus::Ok)
            break;
        MOXEL_FUZZ_CHECK(++frames <= mostFrames);
        walkFrame(reader, frame, next, out);
        next = frame.offset + frame.size;
    }
    KmfFrameInfo again;
    MOXEL_FUZZ_CHECK(reader.nextFrame(again) == status);
    if (status == KmfReadStatus::Error)
        checkFailure(reader, out);
    else
        out += "end\n";
    return out;
}

namespace {

struct FrameSpec {
    bool sync;
    int aux;
    int video;
    int audio;
};

std::string stream(const std::vector<FrameSpec>& specs, bool withHeader, bool closed)
{
    std::vector<uint8_t> payload(std::max(kKmfMaxVideoLength, kKmfMaxAudioLength));
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = uint8_t(i * 7 + (i >> 8));
    KmfBitWriter frames;
    std::vector<uint32_t> positions;
    for (const FrameSpec& spec : specs) {
        KmfFrame f;
        f.setInfo(kFourCCRgb3, 16, 8, 25.0);
        f.audioFormat = kFourCCPcm;
        f.isSync = spec.sync;
        f.syncOffset = spec.sync ? -40 : 0;
        f.auxCount = spec.aux;
        for (int i = 0; i < spec.aux; ++i) {
            f.auxType[i] = makeFourCC("TXT ");
            f.auxLength[i] = 3 + i;
            f.auxData[i] = payload.data();
        }
        f.videoLength = spec.video;
        f.videoData = payload.data();
        f.audioLength = spec.audio;
        f.audioData = payload.data() + 1;
        positions.push_back(uint32_t(frames.length()));
        MOXEL_FUZZ_CHECK(f.packet(frames) == 0);
    }
    frames.finish();
    std::string out;
    if (withHeader) {
        KmfFileHeader header;
        header.metadata = {'t', 'i', 't', 'l', 'e'};
        header.tocSize = 4;
        header.fileSize = closed ? int32_t(frames.length()) : -1;
        header.lengthMs = 40 * uint32_t(specs.size());
        header.toc = buildToc(positions, header.tocSize);
        KmfBitWriter w;
        header.serialise(w);
        w.finish();
        out.assign(reinterpret_cast<const char*>(w.data()), w.length());
    }
    out.append(reinterpret_cast<const char*>(frames.data()), frames.length());
    return out;
}

} // namespace

std::vector<std::string> kmfSeeds(bool withLargeFrame)
{
    const std::vector<FrameSpec> small = {{true, 2, 24, 10},
                                          {false, 0, 24, 8},
                                          {false, 0, 0, 0},
                                          {true, 0, 12, 12},
                                          {false, 1, 5, 0}};
    std::vector<std::string> seeds = {
        stream(small, false, false),
        stream(small, true, true),
        stream(small, true, false),
        stream({{true, 0, 4, 4}}, true, true),
    };
    if (withLargeFrame) // past the file source's read-ahead buffer
        seeds.push_back(
            stream({{true, 3, 70000, 3000}, {false, 0, 40000, 2000}, {true, 0, 8, 8}}, true, true));
    return seeds;
}

} // namespace moxel::fuzz
