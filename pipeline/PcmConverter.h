// Brings decoder PCM into the formats the audio chain takes (8- or 16-bit
// integer samples, one or two channels). 24- and 32-bit integer and 32- or
// 64-bit float samples become 16-bit; more than two channels are downmixed to
// stereo. Blocks already in a chain format pass through untouched. The
// decoder source creates one per audio format, converts each block with it
// first, and builds its AudioFilter and AudioResampler from outChannels() and
// outBits(). Used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace moxel {

struct PcmFormat {
    int channels = 2;
    int bits = 16; // 8 (unsigned, centred on 128), 16, 24, 32, or 32/64 with isFloat
    bool isFloat = false;
    uint64_t channelMask =
        0; // speaker positions (WAVE/FFmpeg bits); 0 = the usual order for the count
};

class PcmConverter {
  public:
    explicit PcmConverter(const PcmFormat& format);

    // False for formats nothing can be made of (no channels, unknown width).
    bool supported() const { return m_supported; }
    bool passesThrough() const { return m_passThrough; }
    int outChannels() const { return m_outChannels; }
    int outBits() const { return m_outBits; }

    // Converts the whole sample frames of one block. out points to the input
    // when the format passes through, else to the converter's own buffer,
    // valid until the next call. Returns the byte count (0 when unsupported).
    size_t convert(const uint8_t* in, size_t bytes, const uint8_t*& out);

  private:
    double sample(const uint8_t* p) const; // one input sample on the 16-bit scale
    int truncatedSample(const uint8_t* p) const;

    PcmFormat m_format;
    int m_bytesPerSample = 0;
    bool m_supported = false;
    bool m_passThrough = false;
    bool m_downmix = false;
    int m_outChannels = 0;
    int m_outBits = 16;
    std::vector<double> m_leftWeight, m_rightWeight; // per input channel, downmix only
    std::vector<uint8_t> m_buffer;
};

} // namespace moxel
