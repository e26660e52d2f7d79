#include "tools/moxel-cli/CompleteKmf.h"

#include "container/FourCC.h"
#include "container/KmfFileHeader.h"

#include <cstdint>
#include <fstream>
#include <sys/stat.h>

namespace moxel::cli {

namespace {

uint32_t littleEndian(const unsigned char* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

} // namespace

bool isCompleteKmfFile(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    std::ifstream in(path, std::ios::binary);
    unsigned char fixed[kKmfFileHeaderFixedSize];
    if (!in.read(reinterpret_cast<char*>(fixed), sizeof fixed))
        return false;
    const uint32_t magic = littleEndian(fixed);
    const uint32_t headerSize = littleEndian(fixed + 4);
    const uint32_t totalSize = littleEndian(fixed + 8);
    // The placeholder's size is unknown (all ones) or covers the header alone.
    return magic == makeFourCC("KMFf") && headerSize >= uint32_t(kKmfFileHeaderFixedSize) &&
           totalSize != 0xFFFFFFFFu && totalSize > headerSize &&
           uint64_t(totalSize) == uint64_t(info.st_size);
}

} // namespace moxel::cli
