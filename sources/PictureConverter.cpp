#include "sources/PictureConverter.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace moxel {

PictureConverter::~PictureConverter()
{
    sws_freeContext(m_context);
}

bool PictureConverter::convert(const AVFrame* frame, uint8_t* picture, int width, int height)
{
    if (frame->width <= 0 || frame->height <= 0 || width <= 0 || height <= 0)
        return false;
    if (m_frameFormat >= 0 && (frame->width != m_frameWidth || frame->height != m_frameHeight ||
                               frame->format != m_frameFormat))
        m_changed = true;
    m_context = sws_getCachedContext(m_context, frame->width, frame->height,
                                     AVPixelFormat(frame->format), width, height, AV_PIX_FMT_BGRA,
                                     SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!m_context)
        return false;
    m_frameWidth = frame->width;
    m_frameHeight = frame->height;
    m_frameFormat = frame->format;

    // Writing from the last row upwards gives the bottom-up order directly.
    const int rowBytes = width * 4;
    uint8_t* rows[4] = {picture + size_t(height - 1) * rowBytes, nullptr, nullptr, nullptr};
    const int strides[4] = {-rowBytes, 0, 0, 0};
    return sws_scale(m_context, frame->data, frame->linesize, 0, frame->height, rows, strides) ==
           height;
}

} // namespace moxel
