#include "sources/StreamDecoder.h"

#include <algorithm>
#include <thread>

namespace moxel {
namespace {

// Damaged packets in a row after which the rest of the stream counts as lost.
constexpr int kMaxErrorsInRow = 1000;
// Decoding threads of a picture stream at most: each holds pictures of its
// own, so more would cost memory for little gain.
constexpr unsigned kMaxDecodingThreads = 8;

#if defined(__SANITIZE_THREAD__)
#define MOXEL_THREAD_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MOXEL_THREAD_CHECKER 1
#endif
#endif

// One thread per core: the stream's own thread, which converts and
// processes the pictures, is the spare that frame threading likes to have,
// and each further thread would hold pictures of its own. A single core
// gets no extra threads. The thread checker's build decodes on the
// stream's thread alone: the FFmpeg libraries are not built for the
// checker, and their threads hand picture buffers over through atomics it
// cannot see, which it would take for races.
int decodingThreads()
{
#ifdef MOXEL_THREAD_CHECKER
    return 1;
#endif
    const unsigned cores = std::thread::hardware_concurrency();
    return cores <= 1 ? 1 : int(std::min(cores, kMaxDecodingThreads));
}

} // namespace

int StreamDecoder::interrupted(void* self)
{
    const auto* decoder = static_cast<const StreamDecoder*>(self);
    return decoder->m_stopFlag && decoder->m_stopFlag->load() ? 1 : 0;
}

StreamDecoder::OpenResult StreamDecoder::open(const std::string& path, AVMediaType type)
{
    AVFormatContext* context = avformat_alloc_context();
    if (!context)
        return OpenResult::CannotOpenFile;
    context->interrupt_callback.callback = &StreamDecoder::interrupted;
    context->interrupt_callback.opaque = this;
    if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0)
        return OpenResult::CannotOpenFile; // the context is freed on failure
    m_format.reset(context);
    if (avformat_find_stream_info(context, nullptr) < 0)
        return OpenResult::CannotOpenFile;

    int index = -1;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        // Cover art of sound files is a one-picture "video" stream.
        if (type == AVMEDIA_TYPE_VIDEO &&
            (context->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC))
            context->streams[i]->discard = AVDISCARD_ALL;
    }
    const AVCodec* codec = nullptr;
    index = av_find_best_stream(context, type, -1, -1, &codec, 0);
    if (index == AVERROR_DECODER_NOT_FOUND)
        return OpenResult::NoDecoder;
    if (index < 0)
        return OpenResult::NoStream;
    if (type == AVMEDIA_TYPE_VIDEO &&
        (context->streams[index]->disposition & AV_DISPOSITION_ATTACHED_PIC))
        return OpenResult::NoStream;
    for (unsigned i = 0; i < context->nb_streams; ++i)
        context->streams[i]->discard = int(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    m_stream = context->streams[index];

    std::unique_ptr<AVCodecContext, CodecContextFreer> decoder(avcodec_alloc_context3(codec));
    m_packet.reset(av_packet_alloc());
    if (!decoder || !m_packet ||
        avcodec_parameters_to_context(decoder.get(), m_stream->codecpar) < 0)
        return OpenResult::NoDecoder;
    decoder->pkt_timebase = m_stream->time_base;
    if (type == AVMEDIA_TYPE_VIDEO) {
        // The codec's own threads: pictures still come out one by one in
        // presentation order, a few pictures later, and draining at the end
        // gives the ones still in flight.
        decoder->thread_count = decodingThreads();
        decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    }
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return OpenResult::NoDecoder;
    m_codec = std::move(decoder);
    return OpenResult::Opened;
}

int64_t StreamDecoder::startTime() const
{
    return m_stream && m_stream->start_time != AV_NOPTS_VALUE ? m_stream->start_time : 0;
}

int64_t StreamDecoder::startUs() const
{
    if (!m_stream || m_stream->start_time == AV_NOPTS_VALUE)
        return AV_NOPTS_VALUE;
    return av_rescale_q(m_stream->start_time, m_stream->time_base, AVRational{1, AV_TIME_BASE});
}

double StreamDecoder::durationSeconds() const
{
    if (m_format && m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0)
        return double(m_format->duration) / AV_TIME_BASE;
    if (m_stream && m_stream->duration != AV_NOPTS_VALUE && m_stream->duration > 0)
        return double(m_stream->duration) * av_q2d(m_stream->time_base);
    return 0.0;
}

double StreamDecoder::fileStartSeconds() const
{
    if (m_format && m_format->start_time != AV_NOPTS_VALUE)
        return double(m_format->start_time) / AV_TIME_BASE;
    return 0.0;
}

bool StreamDecoder::durationGuessed() const
{
    return m_format && m_format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
}

bool StreamDecoder::stampsMayRestart() const
{
    return m_format && m_format->iformat && (m_format->iformat->flags & AVFMT_TS_DISCONT);
}

void StreamDecoder::noteFrame(const AVFrame* frame)
{
    const int64_t stamp = frame->best_effort_timestamp;
    if (stamp == AV_NOPTS_VALUE)
        return;
    double end = double(stamp) * av_q2d(m_stream->time_base);
    if (m_codec->codec_type == AVMEDIA_TYPE_AUDIO && frame->sample_rate > 0)
        end += double(frame->nb_samples) / frame->sample_rate;
    else if (frame->pkt_duration > 0)
        end += double(frame->pkt_duration) * av_q2d(m_stream->time_base);
    m_endSeconds = std::max(m_endSeconds, end);
}

bool StreamDecoder::next(AVFrame* frame)
{
    if (!m_codec || m_ended)
        return false;
    for (;;) {
        if (m_ended || interrupted(this)) {
            m_ended = true;
            return false;
        }
        const int received = avcodec_receive_frame(m_codec.get(), frame);
        if (received == 0) {
            m_errorsInRow = 0;
            noteFrame(frame);
            return true;
        }
        if (m_flushed || received == AVERROR_EOF) {
            m_ended = m_reachedEnd = true;
            return false;
        }
        if (received != AVERROR(EAGAIN) && ++m_errorsInRow > kMaxErrorsInRow) {
            m_ended = m_reachedEnd = true; // a decoder that cannot go on
            return false;
        }
        if (av_read_frame(m_format.get(), m_packet.get()) < 0) {
            // The end of the file or an unreadable rest: drain what is decoded.
            avcodec_send_packet(m_codec.get(), nullptr);
            m_flushed = true;
            continue;
        }
        if (m_packet->stream_index == m_stream->index) {
            if (m_packet->pts != AV_NOPTS_VALUE || m_packet->dts != AV_NOPTS_VALUE)
                m_lastTime = m_packet->pts != AV_NOPTS_VALUE ? m_packet->pts : m_packet->dts;
            const int sent = avcodec_send_packet(m_codec.get(), m_packet.get());
            if (sent < 0 && sent != AVERROR(EAGAIN)) {
                // A damaged packet: go on with the next one.
                if (m_skippedPackets++ == 0)
                    m_firstSkippedTime = m_lastTime;
                if (++m_errorsInRow > kMaxErrorsInRow)
                    m_ended = m_reachedEnd = true;
            }
        }
        av_packet_unref(m_packet.get());
    }
}

} // namespace moxel
