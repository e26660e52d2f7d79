#include "container/KmfFrame.h"

#include "container/FourCC.h"
#include "container/FrameRateCode.h"
#include "container/KmfBitWriter.h"

namespace moxel {

void KmfFrame::setInfo(uint32_t videoFormat_, int width_, int height_, double frameRate_)
{
    videoFormat = videoFormat_;
    width = width_;
    height = height_;
    frameRate = frameRate_;
    frameRateCode = encodeFrameRate(frameRate_);
}

int KmfFrame::packet(KmfBitWriter& w) const
{
    // A negative size would be written as its low 16 bits, a size that was never meant.
    if (width > kKmfMaxDimension || height > kKmfMaxDimension || width < 0 || height < 0)
        return -1;
    if (frameRateCode == 0)
        return -1;
    if (!isValidFourCC(audioFormat))
        return -1;
    if (!isValidFourCC(videoFormat) || videoLength > kKmfMaxVideoLength ||
        audioLength > kKmfMaxAudioLength)
        return -1;
    if (auxCount > kKmfMaxAuxChunks || auxCount < 0)
        return -1;
    // Negative lengths would turn into huge copies; a descriptor holding one is invalid.
    if (videoLength < 0 || audioLength < 0)
        return -1;
    // A length without its bytes would be read from a null pointer.
    if ((videoLength && !videoData) || (audioLength && !audioData))
        return -1;
    uint32_t auxTotal = 0;
    for (int i = 0; i < auxCount; ++i) {
        if (auxLength[i] > kKmfMaxAuxLength || auxLength[i] < 0 || (auxLength[i] && !auxData[i]))
            return -1;
        auxTotal += uint32_t(auxLength[i]) + 6;
    }

    uint32_t lengthField = uint32_t(auxCount) | ((uint32_t(videoLength) + auxTotal) << 4);
    if (isSync) {
        w.putBits(32, makeFourCC("KMFs"));
        w.putBits(32, videoFormat);
        w.putBits(32, audioFormat);
        w.putBits(16, uint32_t(width));
        w.putBits(16, uint32_t(height));
        w.putBits(8, frameRateCode);
        w.putBits(16, uint32_t(syncOffset) & 0xFFFF);
    } else {
        w.putBits(16, kKmfNonSyncMarker);
    }
    w.putBits(24, lengthField);
    w.putBits(16, uint32_t(audioLength));
    for (int i = 0; i < auxCount; ++i) {
        w.putBits(16, uint32_t(auxLength[i]));
        w.putBits(32, auxType[i]);
        if (auxLength[i])
            w.putData(int64_t(auxLength[i]) * 8, auxData[i]);
    }
    if (videoLength)
        w.putData(int64_t(videoLength) * 8, videoData);
    if (audioLength)
        w.putData(int64_t(audioLength) * 8, audioData);
    return 0;
}

} // namespace moxel
