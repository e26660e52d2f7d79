// The capture kind ("vfwcap:" names): there is no capture device support, so
// every operation fails without a message and the job ends in error at open.
#pragma once

#include "sources/MediaSource.h"

namespace moxel {

class CaptureSource final : public MediaSource {
  public:
    bool open(const std::string& sourcePath, const std::string& profilePath) override;
    int getVideoFrame(const uint8_t** picture) override;
    int getAudio(uint8_t* buffer, int maxBytes, int* length) override;
    int close() override;
    int setOption(const char* name, int value) override;
    int setOption(const char* name, double value) override;
};

} // namespace moxel
