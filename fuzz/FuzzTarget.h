// Fuzz targets for the parsers of untrusted bytes.
//
// Each file in fuzz/targets defines one target with MOXEL_FUZZ_TARGET(entry,
// seeds). The build names the target after its file (KmfReader.cpp gives
// "kmf_reader") and makes of it
//  - a libFuzzer program fuzz_<name> (preset fuzz, MOXEL_FUZZ=ON), run by
//    scripts/fuzz, and
//  - an entry in the registry below, which tests/fuzz replays over the seeds
//    and over every file in tests/fuzz-regress/<name>/ in the ordinary build.
//
// An entry takes any bytes and returns normally. Faults the sanitizers see
// on their own (bad memory access, undefined behaviour, leaks) need no check;
// MOXEL_FUZZ_CHECK aborts when a parser breaks a promise they cannot see.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace moxel::fuzz {

using EntryFn = void (*)(const uint8_t* data, size_t size);
// Small valid inputs to start the fuzzer from.
using SeedsFn = std::vector<std::string> (*)();

struct Target {
    std::string name;
    EntryFn entry = nullptr;
    SeedsFn seeds = nullptr;
};

// Every target linked into this program, in name order.
std::vector<Target> targets();
const Target* findTarget(std::string_view name);

struct Registration {
    Registration(const char* name, EntryFn entry, SeedsFn seeds);
};

[[noreturn]] void checkFailed(const char* condition, const char* file, int line);

inline void runEntry(const Target& target, std::string_view bytes)
{
    target.entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

} // namespace moxel::fuzz

#define MOXEL_FUZZ_CHECK(condition)                                                                \
    ((condition) ? void(0) : ::moxel::fuzz::checkFailed(#condition, __FILE__, __LINE__))

// MOXEL_FUZZ_TARGET_NAME is defined by fuzz/CMakeLists.txt for each file in fuzz/targets.
#define MOXEL_FUZZ_TARGET(entry, seeds)                                                            \
    static const ::moxel::fuzz::Registration moxelFuzzRegistration(MOXEL_FUZZ_TARGET_NAME, entry,  \
                                                                   seeds)
