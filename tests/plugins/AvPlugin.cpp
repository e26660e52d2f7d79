#include "AvPlugin.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace moxel::test {
namespace {

template <typename Fn> Fn entry(void* handle, const char* name)
{
    return reinterpret_cast<Fn>(dlsym(handle, name));
}

AvPlugin load()
{
    AvPlugin p;
    p.handle = dlopen(KMF_CODER_AV_PATH, RTLD_NOW | RTLD_LOCAL);
    if (p.handle == nullptr)
        return p;
    p.createVideo = entry<KmfCreateVideo3Fn>(p.handle, "CreateVideo3");
    p.createAudio = entry<KmfCreateAudio3Fn>(p.handle, "CreateAudio3");
    p.videoTypes = entry<KmfGetTypes3Fn>(p.handle, "GetVideoTypes3");
    p.audioTypes = entry<KmfGetTypes3Fn>(p.handle, "GetAudioTypes3");
    p.configVideo = entry<KmfConfig3Fn>(p.handle, "ConfigVideo3");
    p.configAudio = entry<KmfConfig3Fn>(p.handle, "ConfigAudio3");
    return p;
}

} // namespace

const AvPlugin& AvPlugin::get()
{
    // Never unloaded: coders made by the library may outlive a test.
    static const AvPlugin plugin = load();
    EXPECT_NE(plugin.handle, nullptr) << dlerror();
    return plugin;
}

std::unique_ptr<VideoCoder> AvPlugin::video(uint32_t format, int width, int height, double fps,
                                            const std::string& profile) const
{
    if (createVideo == nullptr)
        return nullptr;
    return std::unique_ptr<VideoCoder>(createVideo(width, height, fps, fourCC("RGBA"), &format,
                                                   profile.empty() ? nullptr : profile.c_str()));
}

std::unique_ptr<AudioCoder> AvPlugin::audio(uint32_t format, int channels, int sampleRate,
                                            const std::string& profile) const
{
    if (createAudio == nullptr)
        return nullptr;
    return std::unique_ptr<AudioCoder>(createAudio(channels, sampleRate, 16, fourCC("PCM "),
                                                   &format,
                                                   profile.empty() ? nullptr : profile.c_str()));
}

} // namespace moxel::test
