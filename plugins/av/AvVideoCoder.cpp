#include "plugins/av/AvVideoCoder.h"

#include "plugins/av/AvCoderSettings.h"
#include "plugins/av/AvDiagnostic.h"
#include "plugins/av/AvFormats.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace moxel::av {
namespace {

// speed 0..8 to x264's presets, slowest first.
constexpr const char* kX264Presets[] = {"veryslow", "slower",   "slow",      "medium",   "fast",
                                        "faster",   "veryfast", "superfast", "ultrafast"};

// The largest rate-control buffer: one picture may use about this much, which
// keeps it inside kCoderVideoOutRoom.
constexpr int64_t kMaxBufferBits = 4'000'000;

// An option the encoder does not know would quietly lose a guarantee (such as
// no lag), so say so.
void setText(AVCodecContext* c, const char* name, const char* value)
{
    if (av_opt_set(c->priv_data, name, value, 0) < 0)
        diagnostic("encoder option %s=%s not taken", name, value);
}

void setInt(AVCodecContext* c, const char* name, int64_t value)
{
    if (av_opt_set_int(c->priv_data, name, value, 0) < 0)
        diagnostic("encoder option %s=%lld not taken", name, static_cast<long long>(value));
}

void applyEncoderOptions(uint32_t code, AVCodecContext* c, const AvCoderSettings& s)
{
    switch (code) {
    case kFourCCVp8:
        setText(c, "deadline", "realtime");
        setInt(c, "lag-in-frames", 0);
        setInt(c, "auto-alt-ref", 0);
        setInt(c, "cpu-used", 4 + s.speed);
        // A key picture at most nine average pictures big, so it never holds
        // a live stream up for long.
        setInt(c, "max-intra-rate", 900);
        // The encoder's helper threads wait for each other by spinning: at
        // stream sizes they burn more processor time than they save, and
        // they take it from the decoding thread and from other jobs.
        c->thread_count = 1;
        break;
    case kFourCCH264:
        setText(c, "preset", kX264Presets[s.speed]);
        setText(c, "tune", "zerolatency"); // no B-pictures, no look-ahead, sliced threads
        setInt(c, "sc_threshold", 0);
        break;
    case kFourCCXvid:
        c->thread_type = FF_THREAD_SLICE;
        setInt(c, "sc_threshold", 1'000'000'000);
        c->mb_decision = s.speed <= 2   ? FF_MB_DECISION_RD
                         : s.speed <= 5 ? FF_MB_DECISION_BITS
                                        : FF_MB_DECISION_SIMPLE;
        if (s.speed <= 5)
            c->flags |= AV_CODEC_FLAG_4MV;
        break;
    default:
        break;
    }
}

} // namespace

bool AvVideoCoder::takesPlanar(const AvFormat& format, const KmfPlanarFormat& planar)
{
    if (planar.layout != kCoderLayoutI420 || planar.fullRange != 0)
        return false;
    switch (planar.colourMatrix) {
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        return true;
    case AVCOL_SPC_BT709:
    case AVCOL_SPC_FCC:
    case AVCOL_SPC_SMPTE240M:
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return format.fourCC == kFourCCH264; // the one format that names its matrix
    default:
        return false;
    }
}

AvVideoCoder* AvVideoCoder::create(const AvFormat& format, int width, int height, double frameRate,
                                   const AvCoderSettings& settings, const KmfPlanarFormat* planar)
{
    if (planar != nullptr && !takesPlanar(format, *planar))
        return nullptr;
    auto sizeOk = [](int side) {
        return side >= kMinPictureSide && side <= kMaxPictureSide && side % 2 == 0;
    };
    if (!sizeOk(width) || !sizeOk(height)) {
        diagnostic("%s needs an even width and height from %d to %d, not %dx%d "
                   "(turn on size rounding in the profile)",
                   format.shortName, kMinPictureSide, kMaxPictureSide, width, height);
        return nullptr;
    }
    if (!(frameRate > 0.0 && frameRate <= 1000.0)) {
        diagnostic("%s cannot use a frame rate of %g", format.shortName, frameRate);
        return nullptr;
    }
    auto* coder = new AvVideoCoder;
    if (!coder->open(format, width, height, frameRate, settings, planar)) {
        delete coder;
        return nullptr;
    }
    return coder;
}

bool AvVideoCoder::open(const AvFormat& format, int width, int height, double frameRate,
                        const AvCoderSettings& s, const KmfPlanarFormat* planar)
{
    m_planar = planar != nullptr;
    m_name = format.shortName;
    m_width = width;
    m_height = height;
    const AVCodec* codec = avcodec_find_encoder_by_name(format.encoderName);
    if (codec == nullptr) {
        diagnostic("%s: encoder %s is not available", m_name, format.encoderName);
        return false;
    }
    m_context = avcodec_alloc_context3(codec);
    m_picture = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (m_context == nullptr || m_picture == nullptr || m_packet == nullptr) {
        fail("out of memory", AVERROR(ENOMEM));
        return false;
    }

    AVCodecContext* c = m_context;
    c->width = width;
    c->height = height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->color_range = AVCOL_RANGE_MPEG;
    c->colorspace = m_planar ? AVColorSpace(planar->colourMatrix) : AVCOL_SPC_SMPTE170M;
    // MPEG-4 Part 2 allows at most 65535 as time base denominator.
    c->framerate = av_d2q(frameRate, 65535);
    c->time_base = av_inv_q(c->framerate);
    c->bit_rate = int64_t(s.videoBitrateKbps) * 1000;
    c->rc_max_rate = c->bit_rate * 3 / 2;
    c->rc_buffer_size = int(std::min(c->bit_rate, kMaxBufferBits));
    // Key pictures exactly every keyint pictures, none at scene cuts: the
    // profile's interval is what the stream's sync frames can rely on.
    c->gop_size = s.keyint;
    c->max_b_frames = 0;
    // Threads add no delay with these settings (slices or partitions), but
    // small pictures gain nothing from them.
    c->thread_count = width * height >= 640 * 360 ? 0 : 1;
    applyEncoderOptions(format.fourCC, c, s);

    const int r = avcodec_open2(c, codec, nullptr);
    if (r < 0) {
        fail("cannot open the encoder", r);
        return false;
    }

    m_picture->format = c->pix_fmt;
    m_picture->width = width;
    m_picture->height = height;
    if (av_frame_get_buffer(m_picture, 0) < 0) {
        fail("out of memory", AVERROR(ENOMEM));
        return false;
    }

    if (m_planar)
        return true;
    m_scaler = sws_getContext(width, height, AV_PIX_FMT_BGR0, width, height, AV_PIX_FMT_YUV420P,
                              SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (m_scaler == nullptr) {
        fail("cannot set up the colour conversion", AVERROR(EINVAL));
        return false;
    }
    return true;
}

AvVideoCoder::~AvVideoCoder()
{
    sws_freeContext(m_scaler);
    av_packet_free(&m_packet);
    av_frame_free(&m_picture);
    avcodec_free_context(&m_context);
}

int AvVideoCoder::fail(const char* what, int code)
{
    char text[128];
    diagnostic("%s: %s (%s)", m_name, what, avErrorText(code, text, sizeof text));
    return -1;
}

void AvVideoCoder::takePicture(const void* frame)
{
    const auto* bytes = static_cast<const uint8_t*>(frame);
    if (m_planar) {
        uint8_t* planes[4] = {};
        int strides[4] = {};
        av_image_fill_arrays(planes, strides, bytes, AV_PIX_FMT_YUV420P, m_width, m_height, 1);
        av_image_copy(m_picture->data, m_picture->linesize, const_cast<const uint8_t**>(planes),
                      strides, AV_PIX_FMT_YUV420P, m_width, m_height);
        return;
    }
    // Rows arrive bottom-up: start at the last row in memory and step backwards.
    const int stride = m_width * 4;
    const uint8_t* top = bytes + ptrdiff_t(m_height - 1) * stride;
    const uint8_t* const planes[1] = {top};
    const int strides[1] = {-stride};
    sws_scale(m_scaler, planes, strides, 0, m_height, m_picture->data, m_picture->linesize);
}

int AvVideoCoder::Encode(const void* frame, void* out, int* keyframe)
{
    if (keyframe != nullptr)
        *keyframe = 0;
    if (frame == nullptr || out == nullptr || keyframe == nullptr)
        return -1;
    int r = av_frame_make_writable(m_picture);
    if (r < 0)
        return fail("out of memory", r);

    takePicture(frame);
    m_picture->pts = m_pictureIndex++;

    r = avcodec_send_frame(m_context, m_picture);
    if (r < 0)
        return fail("encoding failed", r);

    // With the settings above exactly one packet comes out per picture; a
    // dropped picture gives none, which is an empty result.
    auto* dest = static_cast<uint8_t*>(out);
    int length = 0;
    bool tooBig = false;
    while ((r = avcodec_receive_packet(m_context, m_packet)) >= 0) {
        if (length + m_packet->size > kCoderVideoOutRoom)
            tooBig = true;
        if (!tooBig) {
            std::memcpy(dest + length, m_packet->data, size_t(m_packet->size));
            length += m_packet->size;
            if (m_packet->flags & AV_PKT_FLAG_KEY)
                *keyframe = 1;
        }
        av_packet_unref(m_packet);
    }
    if (r != AVERROR(EAGAIN))
        return fail("encoding failed", r);
    if (tooBig) {
        *keyframe = 0;
        diagnostic("%s: picture %lld compressed to more than %d bytes; lower video_bitrate", m_name,
                   static_cast<long long>(m_pictureIndex - 1), kCoderVideoOutRoom);
        return -1;
    }
    return length;
}

} // namespace moxel::av
