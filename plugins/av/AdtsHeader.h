// The 7-byte ADTS header (no CRC) that goes before every raw AAC-LC frame, so
// the audio stream of a KMF file can be decoded from any frame on, without a
// separate codec set-up block. Used by AvAudioCoder.
#pragma once

#include <cstdint>

namespace moxel::av {

inline constexpr int kAdtsHeaderBytes = 7;
inline constexpr int kAdtsMaxFrameBytes = 8191; // the 13-bit frame length field

// The ADTS sampling frequency index, or -1 for a rate ADTS cannot announce.
int adtsFrequencyIndex(int sampleRate);

// Writes the header for an AAC-LC frame of payloadBytes after it. False (and
// nothing written) when the rate, the channel count (1..6) or the frame
// length cannot be expressed.
bool writeAdtsHeader(uint8_t* out, int sampleRate, int channels, int payloadBytes);

} // namespace moxel::av
