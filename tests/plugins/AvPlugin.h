// Loads the built kmf_coder_av.so with dlopen, as the program does, and
// resolves its six entries. Tests that drive the plug-in go through this.
#pragma once

#include "encoder/KmfCoderPlugin.h"

#include <cstdint>
#include <memory>
#include <string>

namespace moxel::test {

struct AvPlugin {
    void* handle = nullptr;
    KmfCreateVideo3Fn createVideo = nullptr;
    KmfCreateAudio3Fn createAudio = nullptr;
    KmfGetTypes3Fn videoTypes = nullptr;
    KmfGetTypes3Fn audioTypes = nullptr;
    KmfConfig3Fn configVideo = nullptr;
    KmfConfig3Fn configAudio = nullptr;

    // The process-wide loaded plug-in; fails the calling test when it cannot load.
    static const AvPlugin& get();

    std::unique_ptr<VideoCoder> video(uint32_t format, int width, int height, double fps,
                                      const std::string& profile = {}) const;
    std::unique_ptr<AudioCoder> audio(uint32_t format, int channels, int sampleRate,
                                      const std::string& profile = {}) const;
};

constexpr uint32_t fourCC(const char* s) // four characters
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

} // namespace moxel::test
