// The libFuzzer side of a fuzz program: it is linked with exactly one file of
// fuzz/targets and hands every input to that target's entry.
#include "fuzz/FuzzTarget.h"

#include <cstdio>
#include <cstdlib>

namespace {

const moxel::fuzz::Target& onlyTarget()
{
    static const moxel::fuzz::Target target = [] {
        std::vector<moxel::fuzz::Target> all = moxel::fuzz::targets();
        if (all.size() != 1) {
            std::fprintf(stderr, "a fuzz program needs exactly one target, it has %zu\n",
                         all.size());
            std::abort();
        }
        return all.front();
    }();
    return target;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    onlyTarget().entry(data, size);
    return 0;
}
