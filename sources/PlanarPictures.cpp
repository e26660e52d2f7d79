#include "sources/PlanarPictures.h"

#include "pipeline/FrameGeometry.h"
#include "profiles/EncodingProfile.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace moxel {
namespace {

constexpr int kHdLines = 720;

// The matrices the 4-byte conversion knows by name; anything else is guessed.
int namedMatrix(AVColorSpace space, int height)
{
    switch (space) {
    case AVCOL_SPC_BT709:
    case AVCOL_SPC_FCC:
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
    case AVCOL_SPC_SMPTE240M:
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return space;
    default:
        return height >= kHdLines ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    }
}

// The deprecated full-range format has the same planes.
bool isFourTwoZero(int format)
{
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

bool leavesPictureAlone(int inWidth, int inHeight, int outWidth, int outHeight,
                        const EncodingProfile& profile)
{
    FrameGeometry g;
    return profile.deinterlace == Deinterlace::Off &&
           makeFrameGeometry(inWidth, inHeight, outWidth, outHeight, profile, g) &&
           g.path == ResizePath::ExactCopy && g.x0 == 0 && g.y0 == 0 && g.cw == inWidth &&
           g.ch == inHeight && outWidth == inWidth && outHeight == inHeight;
}

} // namespace

size_t planarPictureBytes(int width, int height)
{
    return size_t(width) * size_t(height) * 3 / 2;
}

std::optional<KmfPlanarFormat> planarOfferFor(const AVStream* stream, int rotation, int inWidth,
                                              int inHeight, int outWidth, int outHeight,
                                              const EncodingProfile& profile)
{
    const AVCodecParameters* p = stream ? stream->codecpar : nullptr;
    if (!p || !isFourTwoZero(p->format) || rotation != 0 || p->width != inWidth ||
        p->height != inHeight || inWidth % 2 != 0 || inHeight % 2 != 0 ||
        !leavesPictureAlone(inWidth, inHeight, outWidth, outHeight, profile))
        return std::nullopt;
    KmfPlanarFormat format;
    format.layout = kCoderLayoutI420;
    format.colourMatrix = namedMatrix(p->color_space, inHeight);
    format.fullRange = p->color_range == AVCOL_RANGE_JPEG || p->format == AV_PIX_FMT_YUVJ420P;
    return format;
}

PlanarCopier::~PlanarCopier()
{
    sws_freeContext(m_scaler);
}

bool PlanarCopier::copy(const AVFrame* frame, uint8_t* picture, int width, int height)
{
    const int bytes = int(planarPictureBytes(width, height));
    if (isFourTwoZero(frame->format) && frame->width == width && frame->height == height)
        return av_image_copy_to_buffer(picture, bytes, frame->data, frame->linesize,
                                       AV_PIX_FMT_YUV420P, width, height, 1) == bytes;
    if (frame->width <= 0 || frame->height <= 0)
        return false;
    m_changed = true;
    m_scaler = sws_getCachedContext(m_scaler, frame->width, frame->height,
                                    AVPixelFormat(frame->format), width, height, AV_PIX_FMT_YUV420P,
                                    SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!m_scaler)
        return false;
    uint8_t* planes[4] = {};
    int strides[4] = {};
    av_image_fill_arrays(planes, strides, picture, AV_PIX_FMT_YUV420P, width, height, 1);
    return sws_scale(m_scaler, frame->data, frame->linesize, 0, frame->height, planes, strides) ==
           height;
}

} // namespace moxel
