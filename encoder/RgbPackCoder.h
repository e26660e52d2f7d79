// The built-in "RGB3" video coder: uncompressed 24-bit pixels. Each 4-byte
// input pixel (blue, green, red, unused) becomes its first three bytes, rows
// in the order delivered; every picture is a key picture. Created by
// CodecPluginSet for "RGB3" from "RGBA" pictures.
#pragma once

#include "encoder/KmfCoderPlugin.h"

#include <memory>

namespace moxel {

class RgbPackCoder : public VideoCoder {
  public:
    // Null when a packed picture would not fit the coder output room
    // (width * height * 3 must stay within kCoderVideoOutRoom); says why in a diagnostic line.
    static std::unique_ptr<RgbPackCoder> create(int width, int height);

    int Encode(const void* frame, void* out, int* keyframe) override;

  private:
    RgbPackCoder(int width, int height) : m_width(width), m_height(height) {}

    int m_width;
    int m_height;
};

} // namespace moxel
