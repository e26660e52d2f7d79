#include "tools/moxel-cli/CompleteKmf.h"

#include "container/KmfReader.h"

#include <sys/stat.h>

namespace moxel::cli {

bool isCompleteKmfFile(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    KmfReader reader;
    KmfFileHeaderInfo header;
    if (!reader.openFile(path) || reader.readFileHeader(header) != KmfReadStatus::Ok)
        return false;
    // The placeholder's size is unknown (all ones) or covers the header alone.
    return header.fileSize != 0xFFFFFFFFu && header.fileSize > header.headerSize &&
           uint64_t(header.fileSize) == reader.sourceSize();
}

} // namespace moxel::cli
