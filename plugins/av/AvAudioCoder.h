// An AudioCoder on libavcodec: MP3 (libmp3lame) or AAC-LC (libavcodec's own
// encoder, each frame behind an ADTS header). Created by CreateAudio3, used by
// the encoder's audio drain on the job's worker thread.
//
// Encode takes input in whole codec frames only (1152 or 576 samples per
// channel for MP3, 1024 for AAC): a shorter remainder is left with the caller
// (*consumed 0) until more arrives, so the caller's count of consumed bytes is
// exactly what went into the codec. Output is whole packets only; a packet
// that does not fit in outRoom is kept and handed out first on a later call,
// and no new input is taken while one is kept. A failing codec still takes its
// frame (the sound is lost, a negative result tells), so a drain loop that
// repeats calls always moves on.
//
// Both encoders hold back about one frame (priming and look-ahead). flush,
// which the plug-in exports as FlushAudio3, hands that out at the end of the
// sound together with the input remainder, padded with silence to a whole
// codec frame; after it the codec takes no more input.
#pragma once

#include "encoder/KmfCoderPlugin.h"

#include <cstdint>
#include <deque>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace moxel::av {

struct AvCoderSettings;
struct AvFormat;

class AvAudioCoder final : public AudioCoder {
  public:
    // Null, with a diagnostic, when the layout, rate or encoder is unusable.
    static AvAudioCoder* create(const AvFormat& format, int channels, int sampleRate,
                                int bitsPerSample, const AvCoderSettings& settings);
    ~AvAudioCoder() override;
    AvAudioCoder(const AvAudioCoder&) = delete;
    AvAudioCoder& operator=(const AvAudioCoder&) = delete;

    int Encode(int callIndex, const void* in, int inLength, int* consumed, void* out,
               int outRoom) override;

    // The end of the sound: takes all of in (the last codec frame padded with
    // silence), drains the codec and hands out what fits in outRoom; *pending
    // tells that more is kept for the next call. Later calls only hand out.
    // Bytes written, or -1 when nothing could be handed out after an error.
    int flush(const void* in, int inLength, int* consumed, void* out, int outRoom, int* pending);

    // Input bytes of one codec frame: what one taking call consumes.
    int frameBytes() const { return m_frameBytes; }

  private:
    AvAudioCoder() = default;
    bool open(const AvFormat& format, int channels, int sampleRate,
              const AvCoderSettings& settings);
    void fillFrame(const uint8_t* pcm);
    bool encodeFrame(const uint8_t* pcm);
    bool collectPackets(bool draining);
    int deliverKept(uint8_t* out, int outRoom);

    const char* m_name = "";
    bool m_adts = false;
    bool m_errorShown = false;
    bool m_drained = false; // flush has sent the codec its end
    int m_channels = 0;
    int m_sampleRate = 0;
    int m_frameBytes = 0;
    int64_t m_samplesIn = 0;
    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    std::deque<std::vector<uint8_t>> m_kept; // finished packets not yet handed out
};

} // namespace moxel::av
