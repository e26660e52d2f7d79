// A codec plug-in for the loader tests. Its display names carry its own file
// name, so a test can tell copies apart and see the load order; an extra
// export lets the test watch the library being unloaded.
//   video "ZZV1" (rewritten to "ZZW1") and "RGB3" (rewritten to "ZZRG"):
//         a coder that writes the 4 bytes "ZZV!" and flags a key picture;
//   "ZZDX": declines after scribbling over *format;
//   audio "ZZA1": a coder that copies what it is given.
// Built with ZZTEST_AUDIO_ONLY it exports only the audio entries; built with
// ZZTEST_PLANAR it also takes planar "ZZV1" and "RGB3" pictures in BT.601
// (and declines other colours): that coder writes "ZZP" and the picture's
// first byte.
#include "encoder/KmfCoderPlugin.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t code(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

std::string ownName()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&ownName), &info) || !info.dli_fname)
        return "?";
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

uint32_t typeAt(const uint32_t* types, int count, int index, char* nameOut)
{
    if (index < 0 || index >= count)
        return 0;
    std::string name =
        ownName() + ":" + std::string(reinterpret_cast<const char*>(&types[index]), 4);
    std::snprintf(nameOut, moxel::kCoderTypeNameSize, "%s", name.c_str());
    return types[index];
}

class CopyAudio : public moxel::AudioCoder {
  public:
    int Encode(int, const void* in, int inLength, int* consumed, void* out, int outRoom) override
    {
        int n = std::min(inLength, outRoom);
        if (n > 0)
            std::memcpy(out, in, size_t(n));
        *consumed = n;
        return n;
    }
};

void (*g_unloadHook)(const char*) = nullptr;

__attribute__((destructor)) void reportUnload()
{
    if (g_unloadHook)
        g_unloadHook(ownName().c_str());
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) void ZzTestSetUnloadHook(void (*hook)(const char*))
{
    g_unloadHook = hook;
}

moxel::AudioCoder* CreateAudio3(int, int, int, uint32_t, uint32_t* format, const char*)
{
    return *format == code("ZZA1") ? new CopyAudio : nullptr;
}

uint32_t GetAudioTypes3(int index, char* nameOut)
{
    static const uint32_t types[] = {code("ZZA1")};
    return typeAt(types, 1, index, nameOut);
}

#ifndef ZZTEST_AUDIO_ONLY
}

namespace {

class MarkVideo : public moxel::VideoCoder {
  public:
    int Encode(const void*, void* out, int* keyframe) override
    {
        std::memcpy(out, "ZZV!", 4);
        *keyframe = 1;
        return 4;
    }
};

#ifdef ZZTEST_PLANAR
class PlanarMarkVideo : public moxel::VideoCoder {
  public:
    int Encode(const void* frame, void* out, int* keyframe) override
    {
        std::memcpy(out, "ZZP", 3);
        static_cast<uint8_t*>(out)[3] = *static_cast<const uint8_t*>(frame);
        *keyframe = 1;
        return 4;
    }
};
#endif

} // namespace

extern "C" {

#ifdef ZZTEST_PLANAR
moxel::VideoCoder* CreateVideoPlanar3(int, int, double, const moxel::KmfPlanarFormat* source,
                                      uint32_t* format, const char*)
{
    const bool listed = *format == code("ZZV1") || *format == code("RGB3");
    if (!listed || source->layout != moxel::kCoderLayoutI420 || source->colourMatrix != 6)
        return nullptr;
    *format = *format == code("RGB3") ? code("ZZPR") : code("ZZP1");
    return new PlanarMarkVideo;
}
#endif

moxel::VideoCoder* CreateVideo3(int, int, double, uint32_t, uint32_t* format, const char*)
{
    if (*format == code("ZZV1")) {
        *format = code("ZZW1");
        return new MarkVideo;
    }
    if (*format == code("RGB3")) {
        *format = code("ZZRG");
        return new MarkVideo;
    }
    if (*format == code("ZZDX"))
        *format = code("JUNK");
    return nullptr;
}

uint32_t GetVideoTypes3(int index, char* nameOut)
{
    static const uint32_t types[] = {code("ZZV1"), code("RGB3")};
    return typeAt(types, 2, index, nameOut);
}

// No real panel here: the module handle stands in for it, so a test can see
// which plug-in answered and that it was handed its own handle.
QWidget* ConfigVideo3(QWidget*, void* module, uint32_t format, const char*)
{
    return format == code("ZZV1") ? static_cast<QWidget*>(module) : nullptr;
}

QWidget* ConfigAudio3(QWidget*, void* module, uint32_t format, const char*)
{
    return format == code("ZZA1") ? static_cast<QWidget*>(module) : nullptr;
}
#endif
}
