// Where KmfEncoder gets its coder objects from. The program uses the built-in
// coders and the loaded plug-ins (CodecPluginSet); tests hand in their own.
// A factory returns null when it has no coder for *format; it may rewrite
// *format, and the rewritten value is what goes into the stream.
// createPlanarVideoCoder is asked first when the source has planar pictures
// (KmfCoderPlugin.h); null (the default) means "RGBA pictures, please".
#pragma once

#include "encoder/KmfCoderPlugin.h"

#include <cstdint>
#include <memory>

namespace moxel {

class CoderFactory {
  public:
    virtual ~CoderFactory() = default;
    virtual std::unique_ptr<VideoCoder> createVideoCoder(int width, int height, double frameRate,
                                                         uint32_t sourceFormat, uint32_t* format,
                                                         const char* configFile) = 0;
    virtual std::unique_ptr<AudioCoder> createAudioCoder(int channels, int sampleRate,
                                                         int bitsPerSample, uint32_t sourceFormat,
                                                         uint32_t* format,
                                                         const char* configFile) = 0;
    virtual std::unique_ptr<VideoCoder> createPlanarVideoCoder(int /*width*/, int /*height*/,
                                                               double /*frameRate*/,
                                                               const KmfPlanarFormat& /*source*/,
                                                               uint32_t* /*format*/,
                                                               const char* /*configFile*/)
    {
        return nullptr;
    }
};

} // namespace moxel
