#include "plugins/av/AvAudioCoder.h"

#include "plugins/av/AdtsHeader.h"
#include "plugins/av/AvCoderSettings.h"
#include "plugins/av/AvDiagnostic.h"
#include "plugins/av/AvFormats.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

namespace moxel::av {
namespace {

// Sample formats this coder can feed, best first.
constexpr AVSampleFormat kUsableFormats[] = {AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_S16,
                                             AV_SAMPLE_FMT_FLTP};

AVSampleFormat pickSampleFormat(const AVCodec* codec)
{
    for (AVSampleFormat wanted : kUsableFormats)
        for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
            if (*f == wanted)
                return wanted;
    return AV_SAMPLE_FMT_NONE;
}

bool supportsRate(const AVCodec* codec, int sampleRate)
{
    if (codec->supported_samplerates == nullptr)
        return true;
    for (const int* r = codec->supported_samplerates; *r != 0; ++r)
        if (*r == sampleRate)
            return true;
    return false;
}

int16_t sampleAt(const uint8_t* pcm, int index)
{
    int16_t v; // the input need not be aligned
    std::memcpy(&v, pcm + 2 * index, 2);
    return v;
}

} // namespace

AvAudioCoder* AvAudioCoder::create(const AvFormat& format, int channels, int sampleRate,
                                   int bitsPerSample, const AvCoderSettings& settings)
{
    const bool adts = format.fourCC == kFourCCAac;
    const int maxChannels = adts ? 6 : 2;
    if (bitsPerSample != 16 || channels < 1 || channels > maxChannels) {
        diagnostic("%s takes 16-bit PCM with 1 to %d channels, not %d bits and %d channels",
                   format.shortName, maxChannels, bitsPerSample, channels);
        return nullptr;
    }
    auto* coder = new AvAudioCoder;
    if (!coder->open(format, channels, sampleRate, settings)) {
        delete coder;
        return nullptr;
    }
    return coder;
}

bool AvAudioCoder::open(const AvFormat& format, int channels, int sampleRate,
                        const AvCoderSettings& s)
{
    m_name = format.shortName;
    m_adts = format.fourCC == kFourCCAac;
    m_channels = channels;
    m_sampleRate = sampleRate;
    const AVCodec* codec = avcodec_find_encoder_by_name(format.encoderName);
    if (codec == nullptr) {
        diagnostic("%s: encoder %s is not available", m_name, format.encoderName);
        return false;
    }
    const AVSampleFormat sampleFormat = pickSampleFormat(codec);
    if (!supportsRate(codec, sampleRate) || (m_adts && adtsFrequencyIndex(sampleRate) < 0) ||
        sampleFormat == AV_SAMPLE_FMT_NONE) {
        diagnostic("%s cannot encode at %d Hz", m_name, sampleRate);
        return false;
    }
    m_context = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (m_context == nullptr || m_frame == nullptr || m_packet == nullptr) {
        diagnostic("%s: out of memory", m_name);
        return false;
    }
    AVCodecContext* c = m_context;
    c->sample_fmt = sampleFormat;
    c->sample_rate = sampleRate;
    av_channel_layout_default(&c->ch_layout, channels);
    c->bit_rate = int64_t(s.audioBitrateKbps) * 1000;
    c->time_base = AVRational{1, sampleRate};
    const int r = avcodec_open2(c, codec, nullptr);
    if (r < 0 || c->frame_size <= 0) {
        char text[128];
        diagnostic("%s: cannot open the encoder (%s)", m_name, avErrorText(r, text, sizeof text));
        return false;
    }
    m_frameBytes = c->frame_size * channels * 2;

    m_frame->format = sampleFormat;
    m_frame->nb_samples = c->frame_size;
    m_frame->sample_rate = sampleRate;
    if (av_channel_layout_copy(&m_frame->ch_layout, &c->ch_layout) < 0 ||
        av_frame_get_buffer(m_frame, 0) < 0) {
        diagnostic("%s: out of memory", m_name);
        return false;
    }
    return true;
}

AvAudioCoder::~AvAudioCoder()
{
    // What the codec still holds cannot reach the file any more; taking it
    // out keeps libavcodec from warning about frames left in its queue.
    if (m_context != nullptr && m_packet != nullptr && avcodec_is_open(m_context) &&
        avcodec_send_frame(m_context, nullptr) >= 0)
        while (avcodec_receive_packet(m_context, m_packet) >= 0)
            av_packet_unref(m_packet);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_context);
}

int AvAudioCoder::Encode(int /*callIndex*/, const void* in, int inLength, int* consumed, void* out,
                         int outRoom)
{
    if (consumed != nullptr)
        *consumed = 0;
    if (consumed == nullptr || out == nullptr || outRoom < 0)
        return -1;
    auto* dest = static_cast<uint8_t*>(out);
    int written = deliverKept(dest, outRoom);
    if (!m_kept.empty() || m_drained || in == nullptr || inLength < m_frameBytes)
        return written;

    *consumed = m_frameBytes;
    if (!encodeFrame(static_cast<const uint8_t*>(in)))
        return written > 0 ? written : -1;
    written += deliverKept(dest + written, outRoom - written);
    return written;
}

int AvAudioCoder::flush(const void* in, int inLength, int* consumed, void* out, int outRoom,
                        int* pending)
{
    if (consumed != nullptr)
        *consumed = 0;
    if (pending != nullptr)
        *pending = 0;
    if (consumed == nullptr || pending == nullptr || out == nullptr || outRoom < 0 ||
        inLength < 0 || (inLength > 0 && in == nullptr))
        return -1;
    bool ok = true;
    if (!m_drained) {
        m_drained = true;
        *consumed = inLength;
        const auto* pcm = static_cast<const uint8_t*>(in);
        int at = 0;
        for (; ok && inLength - at >= m_frameBytes; at += m_frameBytes)
            ok = encodeFrame(pcm + at);
        if (ok && at < inLength) {
            std::vector<uint8_t> last(size_t(m_frameBytes), 0); // zeros are silence
            std::memcpy(last.data(), pcm + at, size_t(inLength - at));
            ok = encodeFrame(last.data());
        }
        // Even after a failed frame the packets already made are worth handing out.
        if (avcodec_send_frame(m_context, nullptr) < 0 || !collectPackets(true))
            ok = false;
    }
    const int written = deliverKept(static_cast<uint8_t*>(out), outRoom);
    *pending = m_kept.empty() ? 0 : 1;
    return ok || written > 0 || *pending != 0 ? written : -1;
}

void AvAudioCoder::fillFrame(const uint8_t* pcm)
{
    const int samples = m_frame->nb_samples;
    switch (m_frame->format) {
    case AV_SAMPLE_FMT_S16:
        std::memcpy(m_frame->data[0], pcm, size_t(m_frameBytes));
        break;
    case AV_SAMPLE_FMT_S16P:
        for (int ch = 0; ch < m_channels; ++ch) {
            auto* plane = reinterpret_cast<int16_t*>(m_frame->extended_data[ch]);
            for (int i = 0; i < samples; ++i)
                plane[i] = sampleAt(pcm, i * m_channels + ch);
        }
        break;
    default: // AV_SAMPLE_FMT_FLTP
        for (int ch = 0; ch < m_channels; ++ch) {
            auto* plane = reinterpret_cast<float*>(m_frame->extended_data[ch]);
            for (int i = 0; i < samples; ++i)
                plane[i] = float(sampleAt(pcm, i * m_channels + ch)) * (1.0f / 32768.0f);
        }
        break;
    }
}

bool AvAudioCoder::encodeFrame(const uint8_t* pcm)
{
    int r = av_frame_make_writable(m_frame);
    if (r >= 0) {
        fillFrame(pcm);
        m_frame->pts = m_samplesIn;
        m_samplesIn += m_frame->nb_samples;
        r = avcodec_send_frame(m_context, m_frame);
    }
    if (r >= 0 && collectPackets(false))
        return true;
    if (!m_errorShown) {
        char text[128];
        diagnostic("%s: encoding failed, sound is lost (%s)", m_name,
                   avErrorText(r < 0 ? r : AVERROR_BUG, text, sizeof text));
        m_errorShown = true;
    }
    return false;
}

bool AvAudioCoder::collectPackets(bool draining)
{
    int r;
    while ((r = avcodec_receive_packet(m_context, m_packet)) >= 0) {
        const int header = m_adts ? kAdtsHeaderBytes : 0;
        std::vector<uint8_t> bytes(size_t(header + m_packet->size));
        bool ok =
            !m_adts || writeAdtsHeader(bytes.data(), m_sampleRate, m_channels, m_packet->size);
        std::memcpy(bytes.data() + header, m_packet->data, size_t(m_packet->size));
        av_packet_unref(m_packet);
        if (!ok)
            return false;
        m_kept.push_back(std::move(bytes));
    }
    // A draining codec ends with EOF, one that wants more input with EAGAIN.
    return r == (draining ? AVERROR_EOF : AVERROR(EAGAIN));
}

int AvAudioCoder::deliverKept(uint8_t* out, int outRoom)
{
    int written = 0;
    while (!m_kept.empty() && int(m_kept.front().size()) <= outRoom - written) {
        const std::vector<uint8_t>& packet = m_kept.front();
        std::memcpy(out + written, packet.data(), packet.size());
        written += int(packet.size());
        m_kept.pop_front();
    }
    return written;
}

} // namespace moxel::av
