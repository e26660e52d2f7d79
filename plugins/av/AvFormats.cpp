#include "plugins/av/AvFormats.h"

#include <iterator>

namespace moxel::av {
namespace {

constexpr AvFormat kVideoFormats[] = {
    {kFourCCVp8, "VP8 (real-time)", "libvpx", "VP8"},
    {kFourCCH264, "H.264 (zero latency)", "libx264", "H.264"},
    {kFourCCXvid, "MPEG-4 Part 2", "mpeg4", "MPEG-4"},
};

constexpr AvFormat kAudioFormats[] = {
    {kFourCCMp3, "MP3", "libmp3lame", "MP3"},
    {kFourCCAac, "AAC (ADTS)", "aac", "AAC"},
};

template <size_t N> const AvFormat* at(const AvFormat (&table)[N], int index)
{
    if (index < 0 || size_t(index) >= N)
        return nullptr;
    return &table[index];
}

template <size_t N> const AvFormat* find(const AvFormat (&table)[N], uint32_t code)
{
    for (const AvFormat& f : table)
        if (f.fourCC == code)
            return &f;
    return nullptr;
}

} // namespace

const AvFormat* videoFormatAt(int index)
{
    return at(kVideoFormats, index);
}
const AvFormat* audioFormatAt(int index)
{
    return at(kAudioFormats, index);
}
const AvFormat* findVideoFormat(uint32_t code)
{
    return find(kVideoFormats, code);
}
const AvFormat* findAudioFormat(uint32_t code)
{
    return find(kAudioFormats, code);
}

} // namespace moxel::av
