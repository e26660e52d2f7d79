// kmf_coder_av.so as the program sees it: loaded by a CodecPluginSet from the
// program folder, its six entries looked up by name. Tests that drive the
// plug-in go through this.
#pragma once

#include "encoder/CodecPlugins.h"
#include "encoder/KmfCoderPlugin.h"

#include <cstdint>
#include <memory>
#include <string>

namespace moxel::test {

struct AvPlugin {
    // The plug-in's entry in the process-wide set; fails the calling test
    // when it did not load.
    static const CodecPlugin& get();

    // A coder from the plug-in, with the profile file when one is named.
    static std::unique_ptr<VideoCoder> video(uint32_t format, int width, int height, double fps,
                                             const std::string& profile = {});
    // A coder for planar pictures (CreateVideoPlanar3), or null when declined.
    static std::unique_ptr<VideoCoder> planarVideo(uint32_t format, int width, int height,
                                                   double fps, const KmfPlanarFormat& source,
                                                   const std::string& profile = {});
    static std::unique_ptr<AudioCoder> audio(uint32_t format, int channels, int sampleRate,
                                             const std::string& profile = {});
};

constexpr uint32_t fourCC(const char* s) // four characters
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

} // namespace moxel::test
