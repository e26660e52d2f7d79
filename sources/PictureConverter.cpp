#include "sources/PictureConverter.h"

#include "sources/PictureRotation.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <new>

namespace moxel {
namespace {

// Pictures from this many lines up are taken as BT.709 when they do not say.
constexpr int kHdLines = 720;
// Room after the padded rows, so that no fast path of the scaler can reach
// past the buffer.
constexpr size_t kStagingSlack = 64;

size_t paddedRowBytes(int width)
{
    return size_t((width + 15) / 16) * 16 * 4;
}

// The plain format of a deprecated full-range one, or the format itself.
AVPixelFormat plainFormat(AVPixelFormat format, bool& fullRange)
{
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

// The scaler's coefficient set for the frame's colour matrix.
int colourMatrix(const AVFrame* frame)
{
    switch (frame->colorspace) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        return SWS_CS_ITU601;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    default:
        return frame->height >= kHdLines ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

} // namespace

PictureConverter::~PictureConverter()
{
    sws_freeContext(m_context);
}

void PictureConverter::prepare(int codedWidth, int codedHeight, int rotation)
{
    m_rotation = rotation == 90 || rotation == 180 || rotation == 270 ? rotation : 0;
    m_width = swapsSides(m_rotation) ? codedHeight : codedWidth;
    m_height = swapsSides(m_rotation) ? codedWidth : codedHeight;
    m_frameFormat = -1;
    m_changed = false;
    m_scalersBuilt = 0;
    sws_freeContext(m_context);
    m_context = nullptr;
    m_key = ScalerKey{};
    m_staging = {};
}

bool PictureConverter::allocate()
{
    const int codedWidth = swapsSides(m_rotation) ? m_height : m_width;
    const int codedHeight = swapsSides(m_rotation) ? m_width : m_height;
    if (codedWidth <= 0 || codedHeight <= 0 || writesStraight(codedWidth))
        return true;
    try {
        m_staging.assign(paddedRowBytes(codedWidth) * size_t(codedHeight) + kStagingSlack, 0);
    } catch (const std::bad_alloc&) {
        m_staging = {};
        return false;
    }
    return true;
}

void PictureConverter::buildScaler(const ScalerKey& key)
{
    sws_freeContext(m_context);
    m_context =
        sws_getContext(key.frameWidth, key.frameHeight, AVPixelFormat(key.format), key.width,
                       key.height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    m_key = key;
    if (!m_context)
        return;
    ++m_scalersBuilt;
    // Only YUV and grey pictures have a matrix and a range. Palette pictures
    // go to YUV and back inside the scaler, so they keep its start values.
    const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(AVPixelFormat(key.format));
    if (!format ||
        (format->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BAYER)))
        return;
    int* inverse = nullptr;
    int* table = nullptr;
    int range = 0, outRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(m_context, &inverse, &range, &table, &outRange, &brightness,
                                 &contrast, &saturation) < 0)
        return;
    // The scaler starts out with BT.601 and limited range.
    if (key.matrix != SWS_CS_DEFAULT || key.fullRange != (range != 0))
        sws_setColorspaceDetails(m_context, sws_getCoefficients(key.matrix), key.fullRange ? 1 : 0,
                                 table, outRange, brightness, contrast, saturation);
}

bool PictureConverter::convert(const AVFrame* frame, uint8_t* picture, int width, int height)
{
    if (frame->width <= 0 || frame->height <= 0 || width <= 0 || height <= 0)
        return false;
    if (m_frameFormat >= 0 && (frame->width != m_frameWidth || frame->height != m_frameHeight ||
                               frame->format != m_frameFormat))
        m_changed = true;

    ScalerKey key;
    key.frameWidth = frame->width;
    key.frameHeight = frame->height;
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    key.format = plainFormat(AVPixelFormat(frame->format), fullRange);
    key.fullRange = fullRange;
    key.matrix = colourMatrix(frame);
    key.width = swapsSides(m_rotation) ? height : width;
    key.height = swapsSides(m_rotation) ? width : height;
    if (!(key == m_key))
        buildScaler(key); // a failure is not retried until the frames change
    if (!m_context)
        return false;
    m_frameWidth = frame->width;
    m_frameHeight = frame->height;
    m_frameFormat = frame->format;

    if (writesStraight(key.width)) {
        // Writing from the last row upwards gives the bottom-up order directly.
        const int rowBytes = width * 4;
        uint8_t* rows[4] = {picture + size_t(height - 1) * rowBytes, nullptr, nullptr, nullptr};
        const int strides[4] = {-rowBytes, 0, 0, 0};
        return sws_scale(m_context, frame->data, frame->linesize, 0, frame->height, rows,
                         strides) == height;
    }

    const size_t rowBytes = paddedRowBytes(key.width);
    const size_t needed = rowBytes * size_t(key.height) + kStagingSlack;
    if (m_staging.size() < needed)
        m_staging.resize(needed); // only when allocate was not called for this size
    uint8_t* rows[4] = {m_staging.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {int(rowBytes), 0, 0, 0};
    if (sws_scale(m_context, frame->data, frame->linesize, 0, frame->height, rows, strides) !=
        key.height)
        return false;
    turnUpright(m_staging.data(), key.width, key.height, ptrdiff_t(rowBytes), m_rotation, picture);
    return true;
}

} // namespace moxel
