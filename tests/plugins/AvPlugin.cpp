#include "AvPlugin.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace moxel::test {
namespace {

const CodecPlugin* findPlugin()
{
    // Never unloaded: coders made by the library may outlive a test.
    static CodecPluginSet* set = [] {
        auto* s = new CodecPluginSet;
        s->load(std::filesystem::path(KMF_CODER_AV_PATH).parent_path().string());
        return s;
    }();
    for (const CodecPlugin& p : set->plugins())
        if (std::filesystem::path(p.path).filename() == "kmf_coder_av.so")
            return &p;
    return nullptr;
}

const char* profileArg(const std::string& profile)
{
    return profile.empty() ? nullptr : profile.c_str();
}

} // namespace

const CodecPlugin& AvPlugin::get()
{
    static const CodecPlugin none;
    const CodecPlugin* p = findPlugin();
    EXPECT_NE(p, nullptr) << "kmf_coder_av.so did not load";
    return p != nullptr ? *p : none;
}

std::unique_ptr<VideoCoder> AvPlugin::video(uint32_t format, int width, int height, double fps,
                                            const std::string& profile)
{
    const CodecPlugin& p = get();
    if (p.createVideo == nullptr)
        return nullptr;
    return std::unique_ptr<VideoCoder>(
        p.createVideo(width, height, fps, fourCC("RGBA"), &format, profileArg(profile)));
}

std::unique_ptr<VideoCoder> AvPlugin::planarVideo(uint32_t format, int width, int height,
                                                  double fps, const KmfPlanarFormat& source,
                                                  const std::string& profile)
{
    const CodecPlugin& p = get();
    EXPECT_NE(p.createVideoPlanar, nullptr) << "no CreateVideoPlanar3 entry";
    if (p.createVideoPlanar == nullptr)
        return nullptr;
    return std::unique_ptr<VideoCoder>(
        p.createVideoPlanar(width, height, fps, &source, &format, profileArg(profile)));
}

std::unique_ptr<AudioCoder> AvPlugin::audio(uint32_t format, int channels, int sampleRate,
                                            const std::string& profile)
{
    const CodecPlugin& p = get();
    if (p.createAudio == nullptr)
        return nullptr;
    return std::unique_ptr<AudioCoder>(
        p.createAudio(channels, sampleRate, 16, fourCC("PCM "), &format, profileArg(profile)));
}

} // namespace moxel::test
