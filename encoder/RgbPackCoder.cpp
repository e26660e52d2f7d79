#include "encoder/RgbPackCoder.h"

#include "base/DiagnosticSink.h"
#include <cstdint>

namespace moxel {

std::unique_ptr<RgbPackCoder> RgbPackCoder::create(int width, int height)
{
    int64_t packedBytes = int64_t(width) * int64_t(height) * 3;
    if (width < 0 || height < 0 || packedBytes > kCoderVideoOutRoom) {
        emitDiagnosticf(kRgbCoderDiagnostics, DiagnosticLevel::Error,
                        "RGB3: a %dx%d picture does not fit: uncompressed RGB needs "
                        "width*height*3 <= %d",
                        width, height, kCoderVideoOutRoom);
        return nullptr;
    }
    return std::unique_ptr<RgbPackCoder>(new RgbPackCoder(width, height));
}

int RgbPackCoder::Encode(const void* frame, void* out, int* keyframe)
{
    int64_t pixels = int64_t(m_width) * int64_t(m_height);
    if (pixels * 3 > kCoderVideoOutRoom)
        return -1;
    const auto* in = static_cast<const uint8_t*>(frame);
    auto* dst = static_cast<uint8_t*>(out);
    for (int64_t i = 0; i < pixels; ++i) {
        dst[0] = in[0];
        dst[1] = in[1];
        dst[2] = in[2];
        dst += 3;
        in += 4;
    }
    *keyframe = 1;
    return int(pixels * 3);
}

} // namespace moxel
