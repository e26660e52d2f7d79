#include "plugins/av/AdtsHeader.h"

namespace moxel::av {

int adtsFrequencyIndex(int sampleRate)
{
    static constexpr int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                     22050, 16000, 12000, 11025, 8000,  7350};
    for (int i = 0; i < int(sizeof kRates / sizeof kRates[0]); ++i)
        if (kRates[i] == sampleRate)
            return i;
    return -1;
}

bool writeAdtsHeader(uint8_t* out, int sampleRate, int channels, int payloadBytes)
{
    const int frequency = adtsFrequencyIndex(sampleRate);
    const int frameBytes = payloadBytes + kAdtsHeaderBytes;
    if (frequency < 0 || channels < 1 || channels > 6 || payloadBytes < 0 ||
        frameBytes > kAdtsMaxFrameBytes)
        return false;
    constexpr int kProfileLc = 1; // audio object type 2 (LC) minus one
    constexpr int kBufferFullnessVbr = 0x7FF;
    out[0] = 0xFF; // syncword
    out[1] = 0xF1; // syncword, MPEG-4, layer 0, no CRC
    out[2] = uint8_t(kProfileLc << 6 | frequency << 2 | (channels >> 2 & 1));
    out[3] = uint8_t((channels & 3) << 6 | frameBytes >> 11);
    out[4] = uint8_t(frameBytes >> 3 & 0xFF);
    out[5] = uint8_t((frameBytes & 7) << 5 | kBufferFullnessVbr >> 6);
    out[6] = uint8_t((kBufferFullnessVbr & 0x3F) << 2); // one raw data block
    return true;
}

} // namespace moxel::av
