// Decoded pictures into the picture stage's form: width x height pixels of
// blue, green, red, alpha, rows packed and bottom-up, turned upright by the
// stream's display rotation. A picture of another size than the one the
// source opened with (a mid-stream change) is scaled to it, so that the
// buffers sized at open are never overrun. Used by one thread at a time.
//
// Colours follow the picture's own description: its colour matrix (BT.601,
// BT.709, BT.2020, ...) and its range (limited or full). A picture that does
// not say which matrix it uses gets the usual guess: BT.709 from 720 lines
// up, BT.601 below. The deprecated full-range formats (yuvj420p and its
// kin, as MJPEG decodes) are taken as their plain formats with full range.
//
// One scaler serves every picture of the same size, format and colours; it
// is rebuilt only when those change. The scaler writes into the picture
// directly when that is safe: without rotation and with rows of a multiple
// of 16 pixels. Otherwise it writes into a buffer with rows padded to 16
// pixels (its fast paths convert whole blocks of 16 pixels and, for other
// widths, leave the last columns unwritten or write past the row), and the
// rows are copied out from there, turned when the stream asks for it.
#pragma once

extern "C" {
#include <libavutil/frame.h>
}

#include <cstdint>
#include <vector>

struct SwsContext;

namespace moxel {

class PictureConverter {
  public:
    PictureConverter() = default;
    ~PictureConverter();
    PictureConverter(const PictureConverter&) = delete;
    PictureConverter& operator=(const PictureConverter&) = delete;

    // Sets the converter up for a stream of codedWidth x codedHeight
    // pictures that players turn by rotation degrees clockwise (0, 90, 180
    // or 270; anything else counts as 0). width() and height() then give the
    // upright size.
    void prepare(int codedWidth, int codedHeight, int rotation);
    int width() const { return m_width; }
    int height() const { return m_height; }
    // Reserves the buffer the conversion of the prepared size may go
    // through, so that no picture allocates. False when the memory is not there.
    bool allocate();

    // Writes width x height x 4 bytes into picture: the upright picture, so
    // for a quarter turn width and height are the coded sides swapped. False
    // when the frame's format cannot be converted (picture then is untouched).
    bool convert(const AVFrame* frame, uint8_t* picture, int width, int height);

    // Set once a frame's size or format differed from the first one.
    bool formatChanged() const { return m_changed; }
    // How many scalers have been built since prepare (for tests: one per
    // stream that keeps its format).
    int scalersBuilt() const { return m_scalersBuilt; }

  private:
    // What a scaler is built for; a frame that differs needs a new one.
    struct ScalerKey {
        int frameWidth = 0, frameHeight = 0, format = -1;
        int matrix = 0;
        bool fullRange = false;
        int width = 0, height = 0; // what the scaler writes (the coded orientation)
        bool operator==(const ScalerKey&) const = default;
    };
    void buildScaler(const ScalerKey& key);
    // Whether the scaler may write pictures of this coded width straight into
    // the output (no turn, and whole blocks of 16 pixels).
    bool writesStraight(int codedWidth) const { return m_rotation == 0 && codedWidth % 16 == 0; }

    SwsContext* m_context = nullptr;
    ScalerKey m_key;
    int m_width = 0, m_height = 0, m_rotation = 0;
    int m_frameWidth = 0, m_frameHeight = 0, m_frameFormat = -1;
    bool m_changed = false;
    int m_scalersBuilt = 0;
    std::vector<uint8_t> m_staging; // rows padded to 16 pixels, top-down
};

} // namespace moxel
