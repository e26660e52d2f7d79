#include "container/KmfFileHeader.h"

#include "container/FourCC.h"
#include "container/KmfBitWriter.h"

#include <algorithm>

namespace moxel {

int KmfFileHeader::serialise(KmfBitWriter& w, uint32_t minimumSize)
{
    if (tocAllocated < tocSize)
        tocAllocated = tocSize;
    headerSize = metadataLength() + 4 * tocAllocated + kKmfFileHeaderFixedSize;
    uint32_t written = std::max(headerSize, minimumSize);

    w.putBits(32, makeFourCC("KMFf"));
    w.putBits(32, written);
    w.putBits(32, fileSize == -1 ? 0xFFFFFFFFu : uint32_t(fileSize) + written);
    w.putBits(32, lengthMs);
    w.putBits(32, metadataLength());
    w.putBits(32, tocAllocated);
    w.putBits(32, tocSize);
    if (!metadata.empty())
        w.putData(int64_t(metadata.size()) * 8, metadata.data());

    uint32_t countdown = tocSize;
    size_t next = 0;
    for (uint32_t i = 0; i < tocAllocated; ++i) {
        uint32_t slot;
        if (countdown == 0) {
            slot = kKmfTocUnused;
        } else if (!toc.empty()) {
            slot = next < toc.size() ? toc[next] : kKmfTocUnused;
            ++next;
            --countdown;
        } else {
            slot = 0;
        }
        w.putBits(32, slot);
    }
    for (uint32_t i = headerSize; i < minimumSize; ++i)
        w.putBits(8, 0);
    return 0;
}

std::vector<uint32_t> buildToc(const std::vector<uint32_t>& positions, uint32_t tocSize)
{
    std::vector<uint32_t> slots(tocSize, kKmfTocUnused);
    size_t n = positions.size();
    if (n == 0)
        return slots;
    double step = double(n) / double(tocSize);
    double p = 0.0;
    for (uint32_t i = 0; i < tocSize; ++i) {
        size_t k = size_t(p);
        if (k >= n)
            k = n - 1;
        slots[i] = positions[k];
        p += step;
    }
    return slots;
}

} // namespace moxel
