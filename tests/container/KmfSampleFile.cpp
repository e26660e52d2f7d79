#include "KmfSampleFile.h"

#include "container/FourCC.h"
#include "container/KmfBitWriter.h"
#include "container/KmfFileHeader.h"

#include "KmfTestBytes.h"

#include <gtest/gtest.h>

namespace moxel::test {

SampleFile makeSampleFile(const SampleOptions& options)
{
    SampleFile s;
    s.payloads.reserve(16); // descriptors point into these; no reallocation
    auto payload = [&](size_t n, uint8_t seed) {
        s.payloads.push_back(pattern(n, seed));
        return s.payloads.back().data();
    };
    KmfFrame base;
    base.setInfo(kFourCCRgb3, 4, 2, 25.0);
    base.audioFormat = kFourCCPcm;

    KmfFrame f = base;
    f.isSync = true;
    f.syncOffset = -40;
    f.auxCount = 2;
    f.auxType[0] = makeFourCC("TXT ");
    f.auxLength[0] = 3;
    f.auxData[0] = payload(3, 0x30);
    f.auxType[1] = makeFourCC("ZZ-9");
    f.auxLength[1] = 5;
    f.auxData[1] = payload(5, 0x40);
    f.videoLength = 24;
    f.videoData = payload(24, 0x50);
    f.audioLength = 10;
    f.audioData = payload(10, 0x60);
    s.frames.push_back(f);

    f = base;
    f.videoLength = 24;
    f.videoData = payload(24, 0x70);
    f.audioLength = 8;
    f.audioData = payload(8, 0x80);
    s.frames.push_back(f);

    s.frames.push_back(base); // header only

    f = base;
    f.isSync = true;
    f.syncOffset = 15;
    f.videoLength = 24;
    f.videoData = payload(24, 0x90);
    f.audioLength = 12;
    f.audioData = payload(12, 0xA0);
    s.frames.push_back(f);

    f = base;
    f.auxCount = 1;
    f.auxType[0] = makeFourCC("EMPT");
    f.videoLength = 5;
    f.videoData = payload(5, 0xB0);
    s.frames.push_back(f);

    KmfFileHeader header;
    header.metadata.assign(options.metadata.begin(), options.metadata.end());
    header.tocSize = options.tocSlots;
    KmfBitWriter frames;
    std::vector<uint32_t> positions;
    for (const KmfFrame& frame : s.frames) {
        positions.push_back(uint32_t(frames.length()));
        EXPECT_EQ(frame.packet(frames), 0);
    }
    frames.finish();

    if (options.withHeader) {
        header.fileSize = int32_t(frames.length());
        header.lengthMs = uint32_t(1000.0 / 25.0 * double(s.frames.size()));
        header.toc = buildToc(positions, header.tocSize);
        KmfBitWriter w;
        header.serialise(w);
        w.finish();
        s.bytes = bytesOf(w);
        s.headerSize = header.headerSize;
    }
    for (uint32_t p : positions)
        s.frameOffsets.push_back(s.headerSize + uint64_t(p));
    s.bytes.insert(s.bytes.end(), frames.data(), frames.data() + frames.length());
    return s;
}

} // namespace moxel::test
