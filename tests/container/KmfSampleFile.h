// A small KMF file made with the writer, for the reader and kmfinfo tests:
// five frames (sync with two aux chunks, non-sync, header-only non-sync,
// sync, non-sync with an empty aux chunk), optionally after a file header.
#pragma once

#include "container/KmfFrame.h"

#include <cstdint>
#include <string>
#include <vector>

namespace moxel::test {

struct SampleFile {
    std::vector<uint8_t> bytes;
    std::vector<uint64_t> frameOffsets; // from the start of the file
    uint32_t headerSize = 0;            // 0 without a header
    std::vector<KmfFrame> frames; // the descriptors as written (payloads point into `payloads`)
    std::vector<std::vector<uint8_t>> payloads;
};

struct SampleOptions {
    bool withHeader = true;
    std::string metadata = "abc";
    uint32_t tocSlots = 4;
};

SampleFile makeSampleFile(const SampleOptions& options = {});

} // namespace moxel::test
