// Decoded audio frames into the blocks the audio chain takes: interleaved
// signed 8- or 16-bit samples, one or two channels, at the stream's own
// rate. Planar samples are interleaved (libswresample, same layout and
// rate), wider or float samples become 16-bit and more than two channels are
// downmixed to stereo (PcmConverter), and unsigned 8-bit samples are centred
// on 0. Used by one thread at a time.
#pragma once

#include "pipeline/PcmConverter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

#include <cstdint>
#include <memory>
#include <vector>

struct SwrContext;

namespace moxel {

struct AudioFormatKey {
    int sampleRate = 0;
    int sampleFormat = -1;
    int channels = 0;
    uint64_t channelMask = 0;
    bool operator==(const AudioFormatKey&) const = default;
};

AudioFormatKey audioFormatOf(const AVFrame* frame);
AudioFormatKey audioFormatOf(const AVCodecContext* decoder);

class AudioFrameConverter {
  public:
    AudioFrameConverter() = default;
    ~AudioFrameConverter();
    AudioFrameConverter(const AudioFrameConverter&) = delete;
    AudioFrameConverter& operator=(const AudioFrameConverter&) = delete;

    // Prepares for frames of format; false when nothing can be made of it.
    bool setFormat(const AudioFormatKey& format);
    const AudioFormatKey& format() const { return m_format; }
    bool supported() const { return m_supported; }

    // The chain's input format.
    int rate() const { return m_format.sampleRate; }
    int chainChannels() const { return m_pcm ? m_pcm->outChannels() : 0; }
    int chainBits() const { return m_pcm ? m_pcm->outBits() : 0; }
    // Bits per sample as decoded (for the diagnostics).
    int decodedBits() const;

    // Converts the frame (of the format set). The block belongs to the
    // converter and may be changed in place until the next call; bytes is
    // its length (0 when nothing could be converted).
    uint8_t* convert(const AVFrame* frame, size_t& bytes);

  private:
    AudioFormatKey m_format;
    bool m_supported = false;
    bool m_planar = false;
    SwrContext* m_swr = nullptr;
    std::unique_ptr<PcmConverter> m_pcm;
    std::vector<uint8_t> m_interleaved;
    std::vector<uint8_t> m_block;
};

} // namespace moxel
