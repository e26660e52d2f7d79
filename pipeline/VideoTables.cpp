#include "pipeline/VideoTables.h"

#include <atomic>

namespace moxel {
namespace {

uint8_t g_blendTable[256 * 256];
std::atomic<bool> g_packed{false};
std::atomic<bool> g_sse41{false};
std::atomic<bool> g_avx2{false};

} // namespace

void initVideoTables()
{
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b)
            g_blendTable[a * 256 + b] = static_cast<uint8_t>((a * (b + 1)) >> 8);
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    g_packed = __builtin_cpu_supports("sse2");
    g_sse41 = __builtin_cpu_supports("sse4.1");
    g_avx2 = __builtin_cpu_supports("avx2");
#else
    g_packed = false;
    g_sse41 = false;
    g_avx2 = false;
#endif
}

const uint8_t* blendTable()
{
    return g_blendTable;
}
bool packedIntegerFlag()
{
    return g_packed;
}
bool cpuHasSse41()
{
    return g_sse41;
}
bool cpuHasAvx2()
{
    return g_avx2;
}

} // namespace moxel
