// Everything a test checks of a finished KMF file, read with the container's
// own reader: the file header, every frame, the sync frames and the stream
// description of the first one.
#pragma once

#include "container/KmfReader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace moxel::test {

struct KmfSummary {
    bool ok = false;   // the file opened and its frames ended cleanly
    std::string error; // the reader's text when not ok
    uint64_t fileBytes = 0;
    bool hasHeader = false;
    KmfFileHeaderInfo header;
    std::vector<KmfFrameInfo> frames;
    std::vector<size_t> syncFrames; // indices into frames
    // From the first sync frame.
    uint32_t videoFormat = 0;
    uint32_t audioFormat = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t frameRateCode = 0;
    uint64_t videoBytes = 0;
    uint64_t audioBytes = 0;

    // Every TOC slot in use holds the start of a frame (relative to the end
    // of the header), and the slots never go backwards.
    bool tocPointsAtFrames() const;
};

KmfSummary summariseKmf(const std::string& path);

// The video payload of every frame, in order.
std::vector<std::vector<uint8_t>> kmfVideoPayloads(const std::string& path);

} // namespace moxel::test
