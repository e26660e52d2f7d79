#include "ClipWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <memory>
#include <vector>

namespace moxel::test {
namespace {

constexpr double kTwoPi = 6.283185307179586;

struct Stream {
    AVStream* stream = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    int64_t next = 0; // pts of the next frame in the codec time base
    int produced = 0; // frames (video) or samples (audio) made so far
    int total = 0;    // frames or samples to make
    bool flushed = false;

    ~Stream()
    {
        av_frame_free(&frame);
        avcodec_free_context(&codec);
    }
    bool done() const { return flushed; }
};

class Writer {
  public:
    Writer(const ClipSpec& spec, std::string* error) : m_spec(spec), m_error(error) {}
    ~Writer()
    {
        sws_freeContext(m_sws);
        if (m_format) {
            if (m_opened)
                avio_closep(&m_format->pb);
            avformat_free_context(m_format);
        }
    }

    bool write(const std::string& path);

  private:
    bool fail(const std::string& why)
    {
        if (m_error)
            *m_error = why;
        return false;
    }
    bool addVideo();
    bool addAudio();
    bool encode(Stream& s, AVFrame* frame, bool interleaved);
    bool fillVideo(Stream& s);
    void fillAudio(Stream& s, int samples);

    // The stamp of the sound's sample produced (its start and gap applied).
    int64_t audioStamp(int produced) const
    {
        const int rate = m_spec.sampleRate;
        int64_t stamp = produced + std::llround(m_spec.audioStartSeconds * rate);
        if (m_spec.audioGapAtSeconds >= 0.0 && produced >= m_spec.audioGapAtSeconds * rate)
            stamp += std::llround(m_spec.audioGapSeconds * rate);
        return stamp;
    }

    int frameSamples(const AVCodecContext& c) const
    {
        if (c.frame_size > 0)
            return c.frame_size;
        return m_spec.audioFrameSamples > 0 ? m_spec.audioFrameSamples : 1024;
    }

    const ClipSpec& m_spec;
    std::string* m_error;
    AVFormatContext* m_format = nullptr;
    bool m_opened = false;
    SwsContext* m_sws = nullptr;
    std::vector<uint8_t> m_rgb;
    std::unique_ptr<Stream> m_video, m_audio;
};

bool Writer::addVideo()
{
    const std::string name = m_spec.videoCodec == "h264" ? "libx264" : m_spec.videoCodec;
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec)
        return fail("no encoder " + name);
    m_video = std::make_unique<Stream>();
    Stream& s = *m_video;
    s.stream = avformat_new_stream(m_format, nullptr);
    s.codec = avcodec_alloc_context3(codec);
    if (!s.stream || !s.codec)
        return fail("out of memory");
    AVCodecContext* c = s.codec;
    c->width = m_spec.width;
    c->height = m_spec.height;
    c->time_base = AVRational{m_spec.fpsDen, m_spec.fpsNum};
    c->framerate = AVRational{m_spec.fpsNum, m_spec.fpsDen};
    c->gop_size = 12;
    c->pix_fmt = m_spec.videoCodec == "mjpeg"      ? AV_PIX_FMT_YUVJ420P
                 : m_spec.videoCodec == "rawvideo" ? AV_PIX_FMT_BGR24
                 : m_spec.videoCodec == "ffv1"     ? AV_PIX_FMT_0RGB32
                                                   : AV_PIX_FMT_YUV420P;
    if (!m_spec.pixelFormat.empty()) {
        c->pix_fmt = av_get_pix_fmt(m_spec.pixelFormat.c_str());
        if (c->pix_fmt == AV_PIX_FMT_NONE)
            return fail("no picture format " + m_spec.pixelFormat);
    }
    int matrix = SWS_CS_DEFAULT;
    if (!m_spec.colorMatrix.empty()) {
        const int space = av_color_space_from_name(m_spec.colorMatrix.c_str());
        if (space < 0)
            return fail("no colour matrix " + m_spec.colorMatrix);
        matrix = space;
        if (m_spec.tagColor)
            c->colorspace = AVColorSpace(space);
    }
    if (m_spec.videoCodec == "h264")
        av_opt_set(c->priv_data, "preset", m_spec.bFrames > 0 ? "veryfast" : "ultrafast", 0);
    c->max_b_frames = m_spec.bFrames;
    if (m_spec.videoCodec == "mpeg4" || m_spec.videoCodec == "mjpeg")
        c->bit_rate = 2000000;
    if (m_format->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(c, codec, nullptr) < 0)
        return fail("cannot open encoder " + name);
    s.stream->time_base = c->time_base;
    if (m_spec.declareFrameRate)
        s.stream->avg_frame_rate = c->framerate;
    if (avcodec_parameters_from_context(s.stream->codecpar, c) < 0)
        return fail("codec parameters");
    s.frame = av_frame_alloc();
    if (!s.frame)
        return fail("out of memory");
    s.frame->format = c->pix_fmt;
    s.frame->width = c->width;
    s.frame->height = c->height;
    if (av_frame_get_buffer(s.frame, 0) < 0)
        return fail("frame buffer");
    s.total = m_spec.frameCount;
    s.next = std::llround(m_spec.videoStartSeconds * m_spec.fpsNum / m_spec.fpsDen);
    m_rgb.resize(size_t(c->width) * c->height * 4);
    m_sws = sws_getContext(c->width, c->height, AV_PIX_FMT_BGRA, c->width, c->height, c->pix_fmt,
                           SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!m_sws)
        return fail("no picture converter");
    if (matrix != SWS_CS_DEFAULT) {
        int *inverse = nullptr, *table = nullptr;
        int range = 0, outRange = 0, brightness = 0, contrast = 0, saturation = 0;
        sws_getColorspaceDetails(m_sws, &inverse, &range, &table, &outRange, &brightness, &contrast,
                                 &saturation);
        sws_setColorspaceDetails(m_sws, inverse, range, sws_getCoefficients(matrix), outRange,
                                 brightness, contrast, saturation);
    }
    if (m_spec.displayRotation != 0) {
        auto* display = reinterpret_cast<int32_t*>(
            av_stream_new_side_data(s.stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
        if (!display)
            return fail("out of memory");
        av_display_rotation_set(display, double(m_spec.displayRotation)); // clockwise
    }
    return true;
}

bool Writer::addAudio()
{
    const std::string name = m_spec.audioCodec == "mp3" ? "libmp3lame" : m_spec.audioCodec;
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec)
        return fail("no encoder " + name);
    m_audio = std::make_unique<Stream>();
    Stream& s = *m_audio;
    s.stream = avformat_new_stream(m_format, nullptr);
    s.codec = avcodec_alloc_context3(codec);
    if (!s.stream || !s.codec)
        return fail("out of memory");
    AVCodecContext* c = s.codec;
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    c->sample_rate = m_spec.sampleRate;
    av_channel_layout_default(&c->ch_layout, m_spec.channels);
    c->time_base = AVRational{1, m_spec.sampleRate};
    if (m_spec.audioCodec == "aac" || m_spec.audioCodec == "mp3")
        c->bit_rate = 64000 * std::min(m_spec.channels, 2);
    if (m_format->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(c, codec, nullptr) < 0)
        return fail("cannot open encoder " + name);
    s.stream->time_base = c->time_base;
    if (avcodec_parameters_from_context(s.stream->codecpar, c) < 0)
        return fail("codec parameters");
    s.frame = av_frame_alloc();
    if (!s.frame)
        return fail("out of memory");
    const int frameSize = frameSamples(*c);
    s.frame->format = c->sample_fmt;
    s.frame->sample_rate = c->sample_rate;
    s.frame->nb_samples = frameSize;
    if (av_channel_layout_copy(&s.frame->ch_layout, &c->ch_layout) < 0 ||
        av_frame_get_buffer(s.frame, 0) < 0)
        return fail("frame buffer");
    const double seconds =
        m_spec.audioSeconds >= 0.0 ? m_spec.audioSeconds : clipVideoSeconds(m_spec);
    s.total = int(std::lround(seconds * m_spec.sampleRate));
    return true;
}

bool Writer::fillVideo(Stream& s)
{
    if (av_frame_make_writable(s.frame) < 0)
        return false;
    (m_spec.draw ? m_spec.draw : drawClipPicture)(m_rgb.data(), m_spec.width, m_spec.height,
                                                  s.produced);
    const uint8_t* src[1] = {m_rgb.data()};
    const int stride[1] = {m_spec.width * 4};
    sws_scale(m_sws, src, stride, 0, m_spec.height, s.frame->data, s.frame->linesize);
    s.frame->pts = s.next;
    ++s.produced;
    s.next += (m_spec.skipEvery > 0 && s.produced % m_spec.skipEvery == 0) ? 2 : 1;
    return true;
}

void Writer::fillAudio(Stream& s, int samples)
{
    av_frame_make_writable(s.frame);
    s.frame->nb_samples = samples;
    const auto format = AVSampleFormat(s.frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int bytes = av_get_bytes_per_sample(format);
    const int channels = m_spec.channels;
    for (int i = 0; i < samples; ++i) {
        const double t = double(s.produced + i) / m_spec.sampleRate;
        const double amplitude = t < m_spec.toneStartSeconds ? 0.0 : m_spec.toneAmplitude;
        for (int ch = 0; ch < channels; ++ch) {
            // Each channel a little softer than the one before, so downmixes can be told apart.
            const double v = amplitude * std::sin(kTwoPi * m_spec.toneHz * t) / (1.0 + 0.25 * ch);
            uint8_t* p = planar ? s.frame->extended_data[ch] + size_t(i) * bytes
                                : s.frame->data[0] + (size_t(i) * channels + ch) * bytes;
            switch (av_get_packed_sample_fmt(format)) {
            case AV_SAMPLE_FMT_U8:
                *p = uint8_t(std::lround(128.0 + v * 127.0));
                break;
            case AV_SAMPLE_FMT_S16:
                *reinterpret_cast<int16_t*>(p) = int16_t(std::lround(v * 32767.0));
                break;
            case AV_SAMPLE_FMT_S32:
                *reinterpret_cast<int32_t*>(p) = int32_t(std::lround(v * 2147483647.0));
                break;
            case AV_SAMPLE_FMT_FLT:
                *reinterpret_cast<float*>(p) = float(v);
                break;
            case AV_SAMPLE_FMT_DBL:
                *reinterpret_cast<double*>(p) = v;
                break;
            default:
                break;
            }
        }
    }
    s.frame->pts = audioStamp(s.produced);
    s.produced += samples;
}

bool Writer::encode(Stream& s, AVFrame* frame, bool interleaved)
{
    if (avcodec_send_frame(s.codec, frame) < 0)
        return fail("encoder refused a frame");
    AVPacket* packet = av_packet_alloc();
    if (!packet)
        return fail("out of memory");
    int result = 0;
    while ((result = avcodec_receive_packet(s.codec, packet)) == 0) {
        av_packet_rescale_ts(packet, s.codec->time_base, s.stream->time_base);
        packet->stream_index = s.stream->index;
        const int written = interleaved ? av_interleaved_write_frame(m_format, packet)
                                        : av_write_frame(m_format, packet);
        av_packet_unref(packet);
        if (written < 0) {
            av_packet_free(&packet);
            return fail("cannot write a packet");
        }
    }
    av_packet_free(&packet);
    if (!frame)
        s.flushed = true;
    return result == AVERROR(EAGAIN) || result == AVERROR_EOF ? true : fail("encoder failed");
}

bool Writer::write(const std::string& path)
{
    if (avformat_alloc_output_context2(&m_format, nullptr, nullptr, path.c_str()) < 0 || !m_format)
        return fail("no container for " + path);
    if (!m_spec.videoCodec.empty() && !addVideo())
        return false;
    if (!m_spec.audioCodec.empty() && !addAudio())
        return false;
    if (!m_video && !m_audio)
        return fail("a clip needs a stream");
    if (avio_open(&m_format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
        return fail("cannot create " + path);
    m_opened = true;
    if (avformat_write_header(m_format, nullptr) < 0)
        return fail("cannot write the header");

    auto seconds = [](const Stream& s) { return double(s.next) * av_q2d(s.codec->time_base); };
    const bool interleaved = m_spec.interleave;
    for (;;) {
        const bool videoLeft = m_video && !m_video->done();
        const bool audioLeft = m_audio && !m_audio->done();
        if (!videoLeft && !audioLeft)
            break;
        const bool takeVideo =
            videoLeft && (!audioLeft || !interleaved || seconds(*m_video) <= seconds(*m_audio));
        Stream& s = takeVideo ? *m_video : *m_audio;
        if (s.produced >= s.total) {
            if (!encode(s, nullptr, interleaved))
                return false;
            continue;
        }
        if (takeVideo) {
            if (!fillVideo(s))
                return fail("frame not writable");
        } else {
            const int frameSize = frameSamples(*s.codec);
            const bool variable = s.codec->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
            const int samples = variable || s.codec->frame_size == 0
                                    ? std::min(frameSize, s.total - s.produced)
                                    : frameSize;
            fillAudio(s, samples);
            s.next = audioStamp(s.produced);
        }
        if (!encode(s, s.frame, interleaved))
            return false;
    }
    if (av_write_trailer(m_format) < 0)
        return fail("cannot write the trailer");
    return true;
}

} // namespace

int clipSlotCount(const ClipSpec& spec)
{
    if (spec.frameCount <= 0)
        return 0;
    return spec.frameCount + (spec.skipEvery > 0 ? (spec.frameCount - 1) / spec.skipEvery : 0);
}

double clipVideoSeconds(const ClipSpec& spec)
{
    if (spec.videoCodec.empty())
        return spec.audioSeconds >= 0.0 ? spec.audioSeconds : 1.0;
    return double(clipSlotCount(spec)) * spec.fpsDen / spec.fpsNum;
}

bool writeClip(const std::string& path, const ClipSpec& spec, std::string* error)
{
    Writer writer(spec, error);
    return writer.write(path);
}

void drawClipPicture(uint8_t* bgra, int width, int height, int frameNumber)
{
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bgra + (size_t(y) * width + x) * 4;
            uint8_t b = uint8_t(x * 255 / std::max(1, width - 1));
            uint8_t g = uint8_t(y * 255 / std::max(1, height - 1));
            uint8_t r = 128;
            if (y < height / 4) {
                const int bit = 7 - std::min(7, x * 8 / width);
                b = g = r = (frameNumber >> bit) & 1 ? 255 : 0;
            }
            p[0] = b;
            p[1] = g;
            p[2] = r;
            p[3] = 255;
        }
    }
}

int readFrameNumber(const uint8_t* pixels, int width, int height, bool bottomUp)
{
    int number = 0;
    const int yTop = height / 8; // middle of the top quarter
    const int row = bottomUp ? height - 1 - yTop : yTop;
    for (int i = 0; i < 8; ++i) {
        const int x = (2 * i + 1) * width / 16;
        const uint8_t* p = pixels + (size_t(row) * width + x) * 4;
        const int level = (p[0] + p[1] + p[2]) / 3;
        if (level > 40 && level < 215)
            return -1;
        number = number * 2 + (level >= 215 ? 1 : 0);
    }
    return number;
}

} // namespace moxel::test
