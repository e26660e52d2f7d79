// Libraries named like codec plug-ins that the loader must pass over without
// harm, one variant per build:
//   ZZBAD_NO_ENTRIES: loads, but exports none of the codec entries;
//   ZZBAD_ABORT, ZZBAD_SEGV, ZZBAD_EXIT, ZZBAD_HANG: its constructor aborts,
//       writes through a null pointer, ends the process or never returns;
//   ZZBAD_LIST_CRASH: loads, but crashes when asked for its formats;
//   ZZBAD_MARK: its constructor leaves the file "zzbad-loaded" in the current
//       folder, so a test can tell whether it was ever loaded.
// All but the first export the audio entries of a working plug-in, so only
// the loader's trial keeps them out.
#include "encoder/KmfCoderPlugin.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace {

[[maybe_unused]] int* volatile g_nowhere = nullptr;

__attribute__((constructor)) void onLoad()
{
#if defined(ZZBAD_ABORT)
    std::abort();
#elif defined(ZZBAD_SEGV)
    *g_nowhere = 1;
#elif defined(ZZBAD_EXIT)
    std::exit(0);
#elif defined(ZZBAD_HANG)
    for (;;)
        pause();
#elif defined(ZZBAD_MARK)
    if (std::FILE* f = std::fopen("zzbad-loaded", "w"))
        std::fclose(f);
#endif
}

} // namespace

#ifdef ZZBAD_NO_ENTRIES
extern "C" __attribute__((visibility("default"))) int ZzBadSomethingElse()
{
    return 1;
}
#else
extern "C" {

moxel::AudioCoder* CreateAudio3(int, int, int, uint32_t, uint32_t*, const char*)
{
    return nullptr;
}

uint32_t GetAudioTypes3(int index, char* nameOut)
{
#ifdef ZZBAD_LIST_CRASH
    (void)index;
    (void)nameOut;
    std::raise(SIGSEGV);
    return 0;
#else
    if (index != 0)
        return 0;
    std::snprintf(nameOut, moxel::kCoderTypeNameSize, "bad");
    return 0x31414142; // "BAA1"
#endif
}
}
#endif
