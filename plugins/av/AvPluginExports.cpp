// The entries of kmf_coder_av.so (the six of every plug-in and the optional
// CreateVideoPlanar3 and FlushAudio3), the only symbols the library exports.
// The program and the profile editor call them after dlopen; everything else
// in the library is hidden.
//
// ConfigVideo3/ConfigAudio3 hand out the Qt settings panels (AvPanelFactory.h)
// when the plug-in is built with Qt; without it they return null and the
// settings are edited in the profile file's "kmf_coder_av" section (see
// AvCoderSettings.h).
#include "encoder/KmfCoderPlugin.h"

#include "plugins/av/AvAudioCoder.h"
#include "plugins/av/AvCoderSettings.h"
#include "plugins/av/AvDiagnostic.h"
#include "plugins/av/AvFormats.h"
#include "plugins/av/AvPanelFactory.h"
#include "plugins/av/AvVideoCoder.h"

#include <cstdio>

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
    if (const moxel::av::AvFormat* f = moxel::av::findVideoFormat(format))
        return moxel::av::createVideoPanel(parent, *f, profilePath);
#else
    (void)parent, (void)format, (void)profilePath;
#endif
    return nullptr;
}

KMF_EXPORT QWidget* ConfigAudio3(QWidget* parent, void*, uint32_t format, const char* profilePath)
{
#ifdef KMF_CODER_AV_PANELS
    if (const moxel::av::AvFormat* f = moxel::av::findAudioFormat(format))
        return moxel::av::createAudioPanel(parent, *f, profilePath);
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
