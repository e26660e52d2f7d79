#include "sources/AudioFrameConverter.h"

extern "C" {
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <cstring>

namespace moxel {
namespace {

AudioFormatKey makeKey(int rate, int format, const AVChannelLayout& layout)
{
    AudioFormatKey key;
    key.sampleRate = rate;
    key.sampleFormat = format;
    key.channels = layout.nb_channels;
    key.channelMask = layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
    return key;
}

} // namespace

AudioFormatKey audioFormatOf(const AVFrame* frame)
{
    return makeKey(frame->sample_rate, frame->format, frame->ch_layout);
}

AudioFormatKey audioFormatOf(const AVCodecContext* decoder)
{
    return makeKey(decoder->sample_rate, decoder->sample_fmt, decoder->ch_layout);
}

AudioFrameConverter::~AudioFrameConverter()
{
    swr_free(&m_swr);
}

int AudioFrameConverter::decodedBits() const
{
    return m_format.sampleFormat < 0
               ? 0
               : av_get_bytes_per_sample(AVSampleFormat(m_format.sampleFormat)) * 8;
}

bool AudioFrameConverter::setFormat(const AudioFormatKey& format)
{
    m_format = format;
    m_supported = false;
    m_pcm.reset();
    swr_free(&m_swr);
    const auto sampleFormat = AVSampleFormat(format.sampleFormat);
    if (format.sampleRate <= 0 || format.channels <= 0 || format.sampleFormat < 0)
        return false;
    const AVSampleFormat packed = av_get_packed_sample_fmt(sampleFormat);

    PcmFormat pcm;
    pcm.channels = format.channels;
    pcm.bits = av_get_bytes_per_sample(packed) * 8;
    pcm.isFloat = packed == AV_SAMPLE_FMT_FLT || packed == AV_SAMPLE_FMT_DBL;
    pcm.channelMask = format.channelMask;
    m_pcm = std::make_unique<PcmConverter>(pcm);
    if (!m_pcm->supported())
        return false;

    m_planar = av_sample_fmt_is_planar(sampleFormat) != 0;
    if (m_planar && format.channels > 1) {
        AVChannelLayout layout;
        if (format.channelMask)
            av_channel_layout_from_mask(&layout, format.channelMask);
        else
            av_channel_layout_default(&layout, format.channels);
        const int made = swr_alloc_set_opts2(&m_swr, &layout, packed, format.sampleRate, &layout,
                                             sampleFormat, format.sampleRate, 0, nullptr);
        av_channel_layout_uninit(&layout);
        if (made < 0 || swr_init(m_swr) < 0) {
            swr_free(&m_swr);
            return false;
        }
    }
    m_supported = true;
    return true;
}

uint8_t* AudioFrameConverter::convert(const AVFrame* frame, size_t& bytes)
{
    bytes = 0;
    if (!m_supported || frame->nb_samples <= 0 || !frame->data[0])
        return nullptr;
    const auto packed = av_get_packed_sample_fmt(AVSampleFormat(m_format.sampleFormat));
    const size_t frameBytes = size_t(av_get_bytes_per_sample(packed)) * m_format.channels;
    const size_t interleavedBytes = frameBytes * size_t(frame->nb_samples);

    const uint8_t* interleaved = frame->data[0]; // packed, or planar with one channel
    if (m_swr) {
        m_interleaved.resize(interleavedBytes);
        uint8_t* out[1] = {m_interleaved.data()};
        const int done =
            swr_convert(m_swr, out, frame->nb_samples,
                        const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
        if (done <= 0)
            return nullptr;
        interleaved = m_interleaved.data();
    }

    const uint8_t* chain = nullptr;
    const size_t chainBytes = m_pcm->convert(interleaved, interleavedBytes, chain);
    m_block.assign(chain, chain + chainBytes);
    if (m_pcm->outBits() == 8) {
        for (uint8_t& sample : m_block)
            sample = static_cast<uint8_t>(sample - 128); // unsigned, centred on 128 -> signed
    }
    bytes = m_block.size();
    return m_block.data();
}

} // namespace moxel
