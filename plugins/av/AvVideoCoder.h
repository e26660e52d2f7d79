// A VideoCoder on libavcodec: VP8 (libvpx), H.264 (libx264) or MPEG-4 Part 2
// (libavcodec's own encoder). Each encoder is set up so that nothing waits
// inside it (no B-pictures, no look-ahead, no lag), because the interface has
// no flush call: Encode returns the bytes of exactly the picture it was given.
// Created by CreateVideo3, used by the encoder on the job's worker thread.
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
    static AvVideoCoder* create(const AvFormat& format, int width, int height, double frameRate,
                                const AvCoderSettings& settings);
    ~AvVideoCoder() override;
    AvVideoCoder(const AvVideoCoder&) = delete;
    AvVideoCoder& operator=(const AvVideoCoder&) = delete;

    int Encode(const void* frame, void* out, int* keyframe) override;

  private:
    AvVideoCoder() = default;
    bool open(const AvFormat& format, int width, int height, double frameRate,
              const AvCoderSettings& settings);
    int fail(const char* what, int code);

    const char* m_name = "";
    int m_width = 0;
    int m_height = 0;
    int64_t m_pictureIndex = 0;
    AVCodecContext* m_context = nullptr;
    SwsContext* m_scaler = nullptr;
    AVFrame* m_picture = nullptr;
    AVPacket* m_packet = nullptr;
};

} // namespace moxel::av
