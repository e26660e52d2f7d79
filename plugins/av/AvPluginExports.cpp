// The entries of kmf_coder_av.so (the six of every plug-in and the optional
// CreateVideoPlanar3 and FlushAudio3), the only symbols the library exports.
// The program and the profile editor call them after dlopen; everything else
// in the library is hidden.
//
// ConfigVideo3/ConfigAudio3 hand out the Qt settings panels (AvPanelFactory.h)
// from kmf_av_panels.so when the plug-in is built with Qt; without it they
// return null and the settings are edited in the profile file's
// "kmf_coder_av" section (see AvCoderSettings.h). The plug-in itself never
// links Qt, so a job does not load it.
#include "encoder/KmfCoderPlugin.h"

#include "plugins/av/AvAudioCoder.h"
#include "plugins/av/AvCoderSettings.h"
#include "plugins/av/AvDiagnostic.h"
#include "plugins/av/AvFormats.h"
#include "plugins/av/AvPanelFactory.h"
#include "plugins/av/AvVideoCoder.h"

#include <dlfcn.h>

#include <cstdio>
#include <string>

#define KMF_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

uint32_t describe(const moxel::av::AvFormat* format, char* nameOut)
{
    if (format == nullptr)
        return 0;
    if (nameOut != nullptr)
        std::snprintf(nameOut, moxel::kCoderTypeNameSize, "%s", format->displayName);
    return format->fourCC;
}

#ifdef KMF_CODER_AV_PANELS
// The panels library beside this plug-in, loaded once; null (with a
// diagnostic) when it cannot be loaded.
moxel::av::PanelEntryFn loadPanels()
{
    using namespace moxel::av;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&loadPanels), &info) == 0 || info.dli_fname == nullptr) {
        diagnostic("settings panels: cannot find the plug-in's folder");
        return nullptr;
    }
    std::string path = info.dli_fname;
    path = path.substr(0, path.rfind('/') + 1) + kPanelLibraryName;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = dlerror();
        diagnostic("settings panels: %s", why != nullptr ? why : "cannot load");
        return nullptr;
    }
    return reinterpret_cast<PanelEntryFn>(dlsym(library, "KmfAvPanel"));
}

QWidget* panel(QWidget* parent, int video, uint32_t format, const char* profilePath)
{
    using namespace moxel::av;
    if ((video != 0 ? findVideoFormat(format) : findAudioFormat(format)) == nullptr)
        return nullptr;
    static const PanelEntryFn entry = loadPanels();
    return entry != nullptr ? entry(parent, video, format, profilePath) : nullptr;
}
#endif

} // namespace

KMF_EXPORT moxel::VideoCoder* CreateVideo3(int width, int height, double frameRate,
                                           uint32_t srcFormat, uint32_t* format,
                                           const char* configFile)
{
    using namespace moxel::av;
    const AvFormat* f = format != nullptr ? findVideoFormat(*format) : nullptr;
    if (f == nullptr)
        return nullptr;
    if (srcFormat != kFourCCRgba) {
        diagnostic("%s takes RGBA pictures only", f->shortName);
        return nullptr;
    }
    return AvVideoCoder::create(*f, width, height, frameRate, AvCoderSettings::load(configFile));
}

KMF_EXPORT moxel::VideoCoder* CreateVideoPlanar3(int width, int height, double frameRate,
                                                 const moxel::KmfPlanarFormat* source,
                                                 uint32_t* format, const char* configFile)
{
    using namespace moxel::av;
    const AvFormat* f = format != nullptr ? findVideoFormat(*format) : nullptr;
    if (f == nullptr || source == nullptr || !AvVideoCoder::takesPlanar(*f, *source))
        return nullptr;
    return AvVideoCoder::create(*f, width, height, frameRate, AvCoderSettings::load(configFile),
                                source);
}

KMF_EXPORT moxel::AudioCoder* CreateAudio3(int channels, int sampleRate, int bitsPerSample,
                                           uint32_t srcFormat, uint32_t* format,
                                           const char* configFile)
{
    using namespace moxel::av;
    const AvFormat* f = format != nullptr ? findAudioFormat(*format) : nullptr;
    if (f == nullptr)
        return nullptr;
    if (srcFormat != kFourCCPcm) {
        diagnostic("%s takes PCM audio only", f->shortName);
        return nullptr;
    }
    return AvAudioCoder::create(*f, channels, sampleRate, bitsPerSample,
                                AvCoderSettings::load(configFile));
}

KMF_EXPORT uint32_t GetVideoTypes3(int index, char* nameOut)
{
    return describe(moxel::av::videoFormatAt(index), nameOut);
}

KMF_EXPORT uint32_t GetAudioTypes3(int index, char* nameOut)
{
    return describe(moxel::av::audioFormatAt(index), nameOut);
}

KMF_EXPORT QWidget* ConfigVideo3(QWidget* parent, void*, uint32_t format, const char* profilePath)
{
#ifdef KMF_CODER_AV_PANELS
    return panel(parent, 1, format, profilePath);
#else
    (void)parent, (void)format, (void)profilePath;
#endif
    return nullptr;
}

KMF_EXPORT QWidget* ConfigAudio3(QWidget* parent, void*, uint32_t format, const char* profilePath)
{
#ifdef KMF_CODER_AV_PANELS
    return panel(parent, 0, format, profilePath);
#else
    (void)parent, (void)format, (void)profilePath;
#endif
    return nullptr;
}

KMF_EXPORT int FlushAudio3(moxel::AudioCoder* coder, const void* in, int inLength, int* consumed,
                           void* out, int outRoom, int* pending)
{
    // The program passes only coders this plug-in made; anything else is refused.
    auto* audio = dynamic_cast<moxel::av::AvAudioCoder*>(coder);
    if (audio == nullptr) {
        if (consumed != nullptr)
            *consumed = 0;
        if (pending != nullptr)
            *pending = 0;
        return -1;
    }
    return audio->flush(in, inLength, consumed, out, outRoom, pending);
}
