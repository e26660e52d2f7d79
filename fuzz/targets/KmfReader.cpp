// The KMF reader over bytes in memory: the file header, every frame and
// every payload of whatever the input holds.
#include "fuzz/FuzzTarget.h"
#include "fuzz/KmfWalk.h"

namespace {

void entry(const uint8_t* data, size_t size)
{
    moxel::KmfReader reader;
    reader.openBytes(data, size);
    moxel::fuzz::walkKmf(reader);
}

std::vector<std::string> seeds()
{
    return moxel::fuzz::kmfSeeds(false);
}

} // namespace

MOXEL_FUZZ_TARGET(entry, seeds);
