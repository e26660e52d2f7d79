// The built-in "PCM " audio coder: the samples unchanged, whole sample frames
// only. The first call of each KMF frame (callIndex 0) starts the output with
// a 4-byte header: bits per sample, channels, sample rate low byte, sample
// rate high byte. Created by CodecPluginSet for "PCM " from "PCM " input.
#pragma once

#include "encoder/KmfCoderPlugin.h"

#include <memory>

namespace moxel {

inline constexpr int kPcmHeaderSize = 4;

class PcmCoder : public AudioCoder {
  public:
    // bitsPerSample 0 means 16. Null when a sample frame would have no bytes
    // (channels < 1 or fewer than 8 bits per sample).
    static std::unique_ptr<PcmCoder> create(int channels, int sampleRate, int bitsPerSample);

    int Encode(int callIndex, const void* in, int inLength, int* consumed, void* out,
               int outRoom) override;

  private:
    PcmCoder(int channels, int sampleRate, int bits)
        : m_channels(channels), m_sampleRate(sampleRate), m_inBits(bits), m_outBits(bits)
    {
    }

    int m_channels;
    int m_sampleRate;
    int m_inBits;
    int m_outBits;
};

} // namespace moxel
