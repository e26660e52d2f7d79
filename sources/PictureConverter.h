// Decoded pictures into the picture stage's form: width x height pixels of
// blue, green, red, alpha, rows packed and bottom-up. A picture of another
// size than the one the source opened with (a mid-stream change) is scaled
// to it, so that the buffers sized at open are never overrun. Used by one
// thread at a time.
#pragma once

extern "C" {
#include <libavutil/frame.h>
}

#include <cstdint>

struct SwsContext;

namespace moxel {

class PictureConverter {
  public:
    PictureConverter() = default;
    ~PictureConverter();
    PictureConverter(const PictureConverter&) = delete;
    PictureConverter& operator=(const PictureConverter&) = delete;

    // Writes width x height x 4 bytes into picture. False when the frame's
    // format cannot be converted (picture then is untouched).
    bool convert(const AVFrame* frame, uint8_t* picture, int width, int height);

    // Set once a frame's size or format differed from the first one.
    bool formatChanged() const { return m_changed; }

  private:
    SwsContext* m_context = nullptr;
    int m_frameWidth = 0, m_frameHeight = 0, m_frameFormat = -1;
    bool m_changed = false;
};

} // namespace moxel
