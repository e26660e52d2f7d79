#include "container/KmfFrame.h"

#include "container/FourCC.h"
#include "container/FrameRateCode.h"
#include "container/KmfBitWriter.h"

namespace moxel {

namespace {

// Every field of a frame starts on a byte boundary, so packing least
// significant bit first is plain little-endian byte order.
uint8_t* putLe(uint8_t* p, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        *p++ = uint8_t(value >> (8 * i));
    return p;
}

} // namespace

void KmfFrame::setInfo(uint32_t videoFormat_, int width_, int height_, double frameRate_)
{
    videoFormat = videoFormat_;
    width = width_;
    height = height_;
    frameRate = frameRate_;
    frameRateCode = encodeFrameRate(frameRate_);
}

int KmfFrame::validate(uint32_t& auxTotalOut) const
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
    auxTotalOut = auxTotal;
    return 0;
}

size_t KmfFrame::headerBytes(uint32_t auxTotal, uint8_t* out) const
{
    uint8_t* p = out;
    uint32_t lengthField = uint32_t(auxCount) | ((uint32_t(videoLength) + auxTotal) << 4);
    if (isSync) {
        p = putLe(p, makeFourCC("KMFs"), 4);
        p = putLe(p, videoFormat, 4);
        p = putLe(p, audioFormat, 4);
        p = putLe(p, uint32_t(width), 2);
        p = putLe(p, uint32_t(height), 2);
        p = putLe(p, frameRateCode, 1);
        p = putLe(p, uint32_t(syncOffset) & 0xFFFF, 2);
    } else {
        p = putLe(p, kKmfNonSyncMarker, 2);
    }
    p = putLe(p, lengthField, 3);
    p = putLe(p, uint32_t(audioLength), 2);
    return size_t(p - out);
}

void KmfFrame::auxChunkHeader(int i, uint8_t* out) const
{
    putLe(putLe(out, uint32_t(auxLength[i]), 2), auxType[i], 4);
}

size_t KmfFrame::frameSize(uint32_t auxTotal) const
{
    return size_t(isSync ? kKmfSyncHeaderSize : kKmfNonSyncHeaderSize) + auxTotal +
           size_t(videoLength) + size_t(audioLength);
}

int KmfFrame::packet(KmfBitWriter& w) const
{
    uint32_t auxTotal = 0;
    if (validate(auxTotal) != 0)
        return -1;
    // One allocation for the whole frame (and the partial byte, if any).
    w.reserve(w.length() + frameSize(auxTotal) + 1);
    uint8_t header[kKmfSyncHeaderSize];
    w.putData(int64_t(headerBytes(auxTotal, header)) * 8, header);
    for (int i = 0; i < auxCount; ++i) {
        uint8_t chunk[6];
        auxChunkHeader(i, chunk);
        w.putData(int64_t(sizeof chunk) * 8, chunk);
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
