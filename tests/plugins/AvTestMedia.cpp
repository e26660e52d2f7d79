#include "AvTestMedia.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace moxel::test {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};

// yTop counts from the top row.
Rgb patternAt(int x, int yTop, int width, int height, int t)
{
    constexpr int kBox = 24; // a light square with hard edges, moving diagonally
    const int boxX = 5 * t % (width - kBox), boxY = 3 * t % (height - kBox);
    if (x >= boxX && x < boxX + kBox && yTop >= boxY && yTop < boxY + kBox)
        return {230, 220, 200};
    return {128 + 90 * std::sin(2 * kPi * (x + 3 * t) / width), 30 + 190.0 * yTop / (height - 1),
            128 + 90 * std::cos(2 * kPi * (yTop + 2 * t) / height)};
}

uint8_t clampByte(double v)
{
    return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

// Colour values as the pattern stores them (whole bytes).
Rgb storedAt(int x, int yTop, int width, int height, int t)
{
    Rgb c = patternAt(x, yTop, width, height, t);
    return {double(clampByte(c.r)), double(clampByte(c.g)), double(clampByte(c.b))};
}

void copyPlane(std::vector<uint8_t>& dst, const uint8_t* src, int linesize, int w, int h)
{
    dst.resize(size_t(w) * h);
    for (int row = 0; row < h; ++row)
        std::memcpy(dst.data() + size_t(row) * w, src + ptrdiff_t(row) * linesize, size_t(w));
}

} // namespace

std::vector<uint8_t> patternPicture(int width, int height, int t)
{
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    for (int yTop = 0; yTop < height; ++yTop) {
        uint8_t* row = pixels.data() + size_t(height - 1 - yTop) * width * 4;
        for (int x = 0; x < width; ++x) {
            const Rgb c = patternAt(x, yTop, width, height, t);
            row[4 * x + 0] = clampByte(c.b);
            row[4 * x + 1] = clampByte(c.g);
            row[4 * x + 2] = clampByte(c.r);
            row[4 * x + 3] = 0xA5; // the unused byte must not matter
        }
    }
    return pixels;
}

YuvPicture patternReference(int width, int height, int t)
{
    YuvPicture p;
    p.width = width;
    p.height = height;
    p.y.resize(size_t(width) * height);
    for (int yTop = 0; yTop < height; ++yTop)
        for (int x = 0; x < width; ++x) {
            const Rgb c = storedAt(x, yTop, width, height, t);
            p.y[size_t(yTop) * width + x] =
                clampByte(16 + (65.481 * c.r + 128.553 * c.g + 24.966 * c.b) / 255);
        }
    const int cw = width / 2, ch = height / 2;
    p.u.resize(size_t(cw) * ch);
    p.v.resize(size_t(cw) * ch);
    for (int cy = 0; cy < ch; ++cy)
        for (int cx = 0; cx < cw; ++cx) {
            Rgb sum{0, 0, 0};
            for (int k = 0; k < 4; ++k) {
                const Rgb c = storedAt(2 * cx + k % 2, 2 * cy + k / 2, width, height, t);
                sum = {sum.r + c.r / 4, sum.g + c.g / 4, sum.b + c.b / 4};
            }
            p.u[size_t(cy) * cw + cx] =
                clampByte(128 + (-37.797 * sum.r - 74.203 * sum.g + 112.0 * sum.b) / 255);
            p.v[size_t(cy) * cw + cx] =
                clampByte(128 + (112.0 * sum.r - 93.786 * sum.g - 18.214 * sum.b) / 255);
        }
    return p;
}

std::vector<uint8_t> packedPlanes(const YuvPicture& picture)
{
    std::vector<uint8_t> planes(picture.y);
    planes.insert(planes.end(), picture.u.begin(), picture.u.end());
    planes.insert(planes.end(), picture.v.begin(), picture.v.end());
    return planes;
}

double psnr(const YuvPicture& a, const YuvPicture& b)
{
    if (a.width != b.width || a.height != b.height || a.y.size() != b.y.size() ||
        a.u.size() != b.u.size() || a.v.size() != b.v.size())
        return 0;
    double squares = 0;
    size_t count = 0;
    auto add = [&](const std::vector<uint8_t>& p, const std::vector<uint8_t>& q) {
        for (size_t i = 0; i < p.size(); ++i) {
            const double d = double(p[i]) - double(q[i]);
            squares += d * d;
        }
        count += p.size();
    };
    add(a.y, b.y);
    add(a.u, b.u);
    add(a.v, b.v);
    const double mse = squares / double(count);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

VideoDecoder::VideoDecoder(const char* decoderName)
{
    const AVCodec* codec = avcodec_find_decoder_by_name(decoderName);
    if (codec == nullptr)
        throw std::runtime_error(std::string("no decoder ") + decoderName);
    m_context = avcodec_alloc_context3(codec);
    m_context->thread_count = 1; // frame threads would delay pictures
    if (avcodec_open2(m_context, codec, nullptr) < 0)
        throw std::runtime_error(std::string("cannot open decoder ") + decoderName);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
}

VideoDecoder::~VideoDecoder()
{
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_context);
}

int VideoDecoder::decode(const uint8_t* data, int size)
{
    av_packet_unref(m_packet);
    if (av_new_packet(m_packet, size) < 0)
        return -1;
    std::memcpy(m_packet->data, data, size_t(size));
    if (avcodec_send_packet(m_context, m_packet) < 0)
        return -1;
    int pictures = 0;
    while (avcodec_receive_frame(m_context, m_frame) >= 0) {
        if (m_frame->format != AV_PIX_FMT_YUV420P)
            return -1;
        ++pictures;
        m_key = m_frame->key_frame != 0;
        m_matrix = m_frame->colorspace;
        const int w = m_frame->width, h = m_frame->height;
        m_picture.width = w;
        m_picture.height = h;
        copyPlane(m_picture.y, m_frame->data[0], m_frame->linesize[0], w, h);
        copyPlane(m_picture.u, m_frame->data[1], m_frame->linesize[1], w / 2, h / 2);
        copyPlane(m_picture.v, m_frame->data[2], m_frame->linesize[2], w / 2, h / 2);
        av_frame_unref(m_frame);
    }
    return pictures;
}

std::vector<uint8_t> toneSignal(int sampleRate, double seconds,
                                const std::vector<double>& frequenciesHz,
                                const std::vector<double>& amplitudes)
{
    const size_t channels = frequenciesHz.size();
    const size_t frames = size_t(seconds * sampleRate);
    std::vector<uint8_t> pcm(frames * channels * 2);
    for (size_t i = 0; i < frames; ++i)
        for (size_t c = 0; c < channels; ++c) {
            const double v =
                amplitudes[c] * std::sin(2 * kPi * frequenciesHz[c] * double(i) / sampleRate);
            const int16_t s = int16_t(std::lround(v * 32767));
            std::memcpy(&pcm[(i * channels + c) * 2], &s, 2); // little-endian host
        }
    return pcm;
}

DecodedAudio decodeAudioStream(const char* decoderName, const std::vector<uint8_t>& stream)
{
    DecodedAudio out;
    const AVCodec* codec = avcodec_find_decoder_by_name(decoderName);
    if (codec == nullptr) {
        out.error = "no decoder";
        return out;
    }
    AVCodecParserContext* parser = av_parser_init(codec->id);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    if (avcodec_open2(ctx, codec, nullptr) < 0)
        out.error = "cannot open decoder";

    auto drain = [&] {
        while (avcodec_receive_frame(ctx, frame) >= 0) {
            const int channels = frame->ch_layout.nb_channels;
            out.sampleRate = frame->sample_rate;
            out.channels.resize(size_t(channels));
            for (int c = 0; c < channels; ++c) {
                const float* plane = reinterpret_cast<const float*>(frame->extended_data[c]);
                out.channels[size_t(c)].insert(out.channels[size_t(c)].end(), plane,
                                               plane + frame->nb_samples);
            }
            if (frame->format != AV_SAMPLE_FMT_FLTP)
                out.error = "unexpected sample format";
            av_frame_unref(frame);
        }
    };
    // The parser needs zeroed padding after its input.
    std::vector<uint8_t> padded(stream);
    padded.resize(stream.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    const uint8_t* data = padded.data();
    int left = int(stream.size());
    while (out.error.empty()) {
        uint8_t* piece = nullptr;
        int pieceSize = 0;
        const int used = av_parser_parse2(parser, ctx, &piece, &pieceSize, data, left,
                                          AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        data += used;
        left -= used;
        if (pieceSize > 0) {
            packet->data = piece;
            packet->size = pieceSize;
            if (avcodec_send_packet(ctx, packet) < 0)
                out.error = "decoder refused a packet";
            drain();
        }
        if (left == 0 && pieceSize == 0)
            break;
    }
    if (out.error.empty()) {
        avcodec_send_packet(ctx, nullptr);
        drain();
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    av_parser_close(parser);
    return out;
}

long loudSpan(const std::vector<float>& samples, float threshold)
{
    long first = -1, last = -1;
    for (size_t i = 0; i < samples.size(); ++i)
        if (std::fabs(samples[i]) > threshold) {
            if (first < 0)
                first = long(i);
            last = long(i);
        }
    return first < 0 ? 0 : last - first + 1;
}

ToneMeasure measureTone(const std::vector<float>& samples, int sampleRate, double from, double to)
{
    const size_t begin = size_t(from * sampleRate);
    const size_t end = std::min(samples.size(), size_t(to * sampleRate));
    ToneMeasure m;
    if (end <= begin + 2)
        return m;
    double squares = 0;
    size_t firstCrossing = 0, lastCrossing = 0;
    int crossings = 0;
    for (size_t i = begin; i < end; ++i) {
        squares += double(samples[i]) * samples[i];
        if (i > begin && samples[i - 1] < 0 && samples[i] >= 0) {
            if (crossings == 0)
                firstCrossing = i;
            lastCrossing = i;
            ++crossings;
        }
    }
    if (crossings >= 2)
        m.frequencyHz = (crossings - 1) * double(sampleRate) / double(lastCrossing - firstCrossing);
    m.peakAmplitude = std::sqrt(2 * squares / double(end - begin));
    return m;
}

} // namespace moxel::test
