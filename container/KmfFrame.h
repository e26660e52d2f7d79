// One KMF frame: at most one compressed picture, a run of compressed audio
// and up to 15 auxiliary chunks. A sync frame starts with the full stream
// description (24-byte header without aux chunks); a non-sync frame with the
// 0xBEEF marker (7-byte header).
//
// The descriptor does not own the payloads it points at.
#pragma once

#include <cstddef>
#include <cstdint>

namespace moxel {

class KmfBitWriter;

inline constexpr int kKmfMaxAuxChunks = 15;
inline constexpr int kKmfMaxVideoLength = 0x80000; // 524288
inline constexpr int kKmfMaxAudioLength = 32768;
inline constexpr int kKmfMaxAuxLength = 32768;
inline constexpr int kKmfMaxDimension = 65535;
inline constexpr int kKmfSyncHeaderSize = 24;
inline constexpr int kKmfNonSyncHeaderSize = 7;
inline constexpr uint16_t kKmfNonSyncMarker = 0xBEEF;

struct KmfFrame {
    uint8_t frameRateCode = 0;
    uint32_t videoFormat = 0;
    uint32_t audioFormat = 0;
    int width = 0;
    int height = 0;
    double frameRate = 0.0;
    int syncOffset = 0; // milliseconds; serialised as its low 16 bits
    int auxCount = 0;
    const uint8_t* auxData[kKmfMaxAuxChunks] = {};
    int auxLength[kKmfMaxAuxChunks] = {};
    uint32_t auxType[kKmfMaxAuxChunks] = {};
    bool isSync = false;
    const uint8_t* audioData = nullptr;
    int audioLength = 0;
    const uint8_t* videoData = nullptr;
    int videoLength = 0;

    void reset() { *this = KmfFrame(); }
    // Stores the picture description and the frame-rate code of frameRate.
    void setInfo(uint32_t videoFormat, int width, int height, double frameRate);
    // Validates and appends one complete frame. 0 on success; -1 for an
    // invalid descriptor, in which case nothing was appended.
    int packet(KmfBitWriter& writer) const;

    // The pieces of packet, for serialisers that leave the payloads in place
    // (KmfFrameGather). validate: 0 and the bytes the aux chunks take, or -1.
    int validate(uint32_t& auxTotal) const;
    // The sync (24 bytes) or non-sync (7 bytes) header; returns its size.
    size_t headerBytes(uint32_t auxTotal, uint8_t* out) const;
    // The 6-byte header of aux chunk i.
    void auxChunkHeader(int i, uint8_t* out) const;
    // The whole frame's size after a successful validate.
    size_t frameSize(uint32_t auxTotal) const;
};

} // namespace moxel
