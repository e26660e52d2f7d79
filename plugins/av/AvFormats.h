// The formats this plug-in offers: FourCC, display name and the libavcodec
// encoder behind each. GetVideoTypes3/GetAudioTypes3 and the Create entries
// all walk these two tables, so adding a format is one line here plus its
// encoder options in AvVideoCoder/AvAudioCoder.
#pragma once

#include <cstdint>

namespace moxel::av {

constexpr uint32_t fourCC(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

inline constexpr uint32_t kFourCCRgba = fourCC("RGBA");
inline constexpr uint32_t kFourCCPcm = fourCC("PCM ");
inline constexpr uint32_t kFourCCVp8 = fourCC("VP80");
inline constexpr uint32_t kFourCCH264 = fourCC("H264");
inline constexpr uint32_t kFourCCXvid = fourCC("XVID");
inline constexpr uint32_t kFourCCMp3 = fourCC("MP3 ");
inline constexpr uint32_t kFourCCAac = fourCC("AAC ");

struct AvFormat {
    uint32_t fourCC;
    const char* displayName;
    const char* encoderName; // libavcodec encoder, found with avcodec_find_encoder_by_name
    const char* shortName;   // used in diagnostics
};

// Entry at index, or null past the last one (and for negative indexes).
const AvFormat* videoFormatAt(int index);
const AvFormat* audioFormatAt(int index);

// Entry for a FourCC, or null when this plug-in does not offer it.
const AvFormat* findVideoFormat(uint32_t fourCC);
const AvFormat* findAudioFormat(uint32_t fourCC);

} // namespace moxel::av
