// A VideoCoder on libavcodec: VP8 (libvpx), H.264 (libx264) or MPEG-4 Part 2
// (libavcodec's own encoder). Each encoder is set up so that nothing waits
// inside it (no B-pictures, no look-ahead, no lag), because the interface has
// no flush call: Encode returns the bytes of exactly the picture it was given.
// Created by CreateVideo3, used by the encoder on the job's worker thread.
//
// Pictures come as "RGBA" (converted to the encoder's 4:2:0 here, BT.601,
// limited range) or, from CreateVideoPlanar3, already planar 4:2:0, which
// is copied as it is and its colour matrix written into the stream where
// the format can carry one (H.264); VP8 and MPEG-4 take BT.601 only.
//
// Pictures must have an even width and height from 16 to 4096: 4:2:0 needs
// even sizes, and padding would hand the player a picture one pixel larger
// than the stream announces. Odd sizes are refused at creation (the profile's
// size rounding avoids them).
#pragma once

#include "encoder/KmfCoderPlugin.h"

#include <cstdint>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace moxel::av {

struct AvCoderSettings;
struct AvFormat;

inline constexpr int kMinPictureSide = 16;
inline constexpr int kMaxPictureSide = 4096;

class AvVideoCoder final : public VideoCoder {
  public:
    // Null, with a diagnostic, when the size, rate or encoder is unusable.
    // planar, when given, describes planar input; null when the format
    // cannot take it (not a failure: the caller asks again with "RGBA").
    static AvVideoCoder* create(const AvFormat& format, int width, int height, double frameRate,
                                const AvCoderSettings& settings,
                                const KmfPlanarFormat* planar = nullptr);
    // Whether format takes planar pictures of these colours.
    static bool takesPlanar(const AvFormat& format, const KmfPlanarFormat& planar);
    ~AvVideoCoder() override;
    AvVideoCoder(const AvVideoCoder&) = delete;
    AvVideoCoder& operator=(const AvVideoCoder&) = delete;

    int Encode(const void* frame, void* out, int* keyframe) override;

  private:
    AvVideoCoder() = default;
    bool open(const AvFormat& format, int width, int height, double frameRate,
              const AvCoderSettings& settings, const KmfPlanarFormat* planar);
    // Puts frame into m_picture, converting or copying by the input layout.
    void takePicture(const void* frame);
    int fail(const char* what, int code);

    const char* m_name = "";
    int m_width = 0;
    int m_height = 0;
    int64_t m_pictureIndex = 0;
    bool m_planar = false;
    AVCodecContext* m_context = nullptr;
    SwsContext* m_scaler = nullptr;
    AVFrame* m_picture = nullptr;
    AVPacket* m_packet = nullptr;
};

} // namespace moxel::av
