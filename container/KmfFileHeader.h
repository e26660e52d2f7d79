// The optional header of a .kmf file: magic "KMFf", sizes, length, metadata
// and a table of contents of frame positions (offsets from the end of the
// header). Written as a placeholder when the file opens and again, in place
// and with the same size, when it closes.
#pragma once

#include <cstdint>
#include <vector>

namespace moxel {

class KmfBitWriter;

inline constexpr uint32_t kKmfTocUnused = 0xFFFFFFFFu;
inline constexpr int kKmfFileHeaderFixedSize = 28;

struct KmfFileHeader {
    uint32_t headerSize = 0; // computed by serialise and stored back
    int32_t fileSize = 0;    // bytes of frames after the header; -1 unknown
    uint32_t lengthMs = 0;
    uint32_t tocAllocated = 0;
    uint32_t tocSize = 0;
    std::vector<uint32_t> toc; // empty while the placeholder is written
    std::vector<uint8_t> metadata;

    uint32_t metadataLength() const { return uint32_t(metadata.size()); }

    // Appends the header (padded with zero bytes up to minimumSize). Returns 0.
    int serialise(KmfBitWriter& writer, uint32_t minimumSize = 0);
};

// Samples the frame positions at evenly spaced indices into tocSize slots.
// With no positions at all every slot holds kKmfTocUnused.
std::vector<uint32_t> buildToc(const std::vector<uint32_t>& positions, uint32_t tocSize);

} // namespace moxel
