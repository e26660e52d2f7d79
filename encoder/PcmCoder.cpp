#include "encoder/PcmCoder.h"

#include "base/DiagnosticSink.h"
#include <algorithm>
#include <cstdint>
#include <cstring>

namespace moxel {

std::unique_ptr<PcmCoder> PcmCoder::create(int channels, int sampleRate, int bitsPerSample)
{
    int bits = bitsPerSample == 0 ? 16 : bitsPerSample;
    if (channels < 1 || bits < 8) {
        emitDiagnosticf(kPcmCoderDiagnostics, DiagnosticLevel::Error,
                        "PCM: cannot take %d channels of %d-bit samples", channels, bits);
        return nullptr;
    }
    return std::unique_ptr<PcmCoder>(new PcmCoder(channels, sampleRate, bits));
}

int PcmCoder::Encode(int callIndex, const void* in, int inLength, int* consumed, void* out,
                     int outRoom)
{
    *consumed = 0;
    auto* dst = static_cast<uint8_t*>(out);
    int header = 0;
    if (callIndex == 0) {
        if (outRoom < kPcmHeaderSize)
            return -1;
        dst[0] = uint8_t(m_outBits);
        dst[1] = uint8_t(m_channels);
        dst[2] = uint8_t(m_sampleRate & 0xFF);
        dst[3] = uint8_t((m_sampleRate >> 8) & 0xFF);
        header = kPcmHeaderSize;
        dst += header;
        outRoom -= header;
    }
    int frameBytes = (m_inBits / 8) * m_channels;
    int n = std::min(std::max(inLength, 0), outRoom);
    n -= n % frameBytes;
    if (n > 0)
        std::memcpy(dst, in, size_t(n));
    *consumed = n;
    return n + header;
}

} // namespace moxel
