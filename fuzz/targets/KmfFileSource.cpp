// The KMF reader over a file (KmfFileSource with its read-ahead buffer) must
// read exactly what it reads over the same bytes in memory, frame by frame
// and byte by byte, also for reads at odd offsets and lengths.
#include "container/KmfByteSource.h"
#include "fuzz/FuzzTarget.h"
#include "fuzz/KmfWalk.h"
#include "fuzz/ScratchFolder.h"

#include <algorithm>
#include <vector>

namespace {

// Reads at places taken from the input's own bytes, near its ends included.
void compareReads(const uint8_t* data, size_t size, moxel::KmfFileSource& file)
{
    moxel::KmfSpanSource span(data, size);
    std::vector<uint8_t> a, b;
    for (size_t i = 0; i + 4 <= std::min<size_t>(size, 64); i += 4) {
        uint64_t offset = (uint64_t(data[i]) | uint64_t(data[i + 1]) << 8) * 37 % (size + 2);
        size_t length = (size_t(data[i + 2]) | size_t(data[i + 3]) << 8) * 3;
        a.assign(length, 0);
        b.assign(length, 0);
        bool inSpan = span.readAt(offset, a.data(), length);
        bool inFile = file.readAt(offset, b.data(), length);
        MOXEL_FUZZ_CHECK(inSpan == inFile);
        MOXEL_FUZZ_CHECK(!inSpan || a == b);
    }
}

void entry(const uint8_t* data, size_t size)
{
    static const std::string path = moxel::fuzz::scratchPath("input.kmf");
    moxel::fuzz::writeScratch(path, data, size);

    moxel::KmfReader inMemory, inFile;
    inMemory.openBytes(data, size);
    MOXEL_FUZZ_CHECK(inFile.openFile(path));
    MOXEL_FUZZ_CHECK(moxel::fuzz::walkKmf(inFile) == moxel::fuzz::walkKmf(inMemory));

    moxel::KmfFileSource file;
    MOXEL_FUZZ_CHECK(file.open(path));
    MOXEL_FUZZ_CHECK(file.size() == size);
    compareReads(data, size, file);
}

std::vector<std::string> seeds()
{
    return moxel::fuzz::kmfSeeds(true);
}

} // namespace

MOXEL_FUZZ_TARGET(entry, seeds);
