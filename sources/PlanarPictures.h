// Planar pictures for the coder: what a source hands over instead of its
// 4-byte pictures when no processing step changes them and the coder takes
// planar 4:2:0 (encoder/KmfCoderPlugin.h, CreateVideoPlanar3). The decoded
// picture then goes to the coder as it is, without the way to 4 bytes a
// pixel and back, which costs time, memory and a second rounding.
//
// planarOfferFor decides at open whether a stream qualifies and in which
// colours; PlanarCopier writes each decoded picture in the packed layout.
// Used by the decoder source on its video thread.
#pragma once

#include "encoder/KmfCoderPlugin.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
}

#include <cstddef>
#include <cstdint>
#include <optional>

struct SwsContext;

namespace moxel {

struct EncodingProfile;

// Bytes of one packed planar picture of width x height (even sides).
size_t planarPictureBytes(int width, int height);

// The offer for a stream decoded to inWidth x inHeight and put out at
// outWidth x outHeight with profile: none unless the stream is 4:2:0
// YUV, not turned, of even sides, and the profile neither deinterlaces,
// crops nor resizes. The colours are the stream's, with the same guess for
// an unnamed matrix as the conversion to 4-byte pictures makes (BT.709 from
// 720 lines up, BT.601 below), so both ways show the same colours.
std::optional<KmfPlanarFormat> planarOfferFor(const AVStream* stream, int rotation, int inWidth,
                                              int inHeight, int outWidth, int outHeight,
                                              const EncodingProfile& profile);

class PlanarCopier {
  public:
    PlanarCopier() = default;
    ~PlanarCopier();
    PlanarCopier(const PlanarCopier&) = delete;
    PlanarCopier& operator=(const PlanarCopier&) = delete;

    // Writes frame as a packed width x height planar picture into picture
    // (planarPictureBytes long): a copy when the frame is 4:2:0 of that
    // size, else scaled and converted to it (a stream that changed in its
    // middle). False when the frame cannot be converted.
    bool copy(const AVFrame* frame, uint8_t* picture, int width, int height);
    // Set once a frame had to be converted.
    bool formatChanged() const { return m_changed; }

  private:
    SwsContext* m_scaler = nullptr;
    bool m_changed = false;
};

} // namespace moxel
