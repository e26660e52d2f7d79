// The source for movie files (names ending ".mov"). It has no threads and no
// queues: the worker's calls drive it. getVideoFrame steps through the
// video samples from the first on, each through the frame decision by its
// time (the rate from the whole track, converted to the output rate): a
// sample is dropped, or shown after repeating the previous picture for the
// frames due before it. Only samples shown are rendered, into a bottom-up
// 32-bit picture for the picture stage.
// getAudio decodes the sound track chunk by chunk (one decoded frame, in
// parts of at most 262,144 bytes of PCM), places it on the timeline that
// starts with the pictures (SoundTimeline: silence for late sound and gaps,
// in parts of the same size, cuts for early sound and overlaps) and runs the
// audio chain on it; it returns 0 only at the end of the track. A movie
// without pictures opens with hasVideo false and converts like a sound file.
// close reports the source's counters (SourceReport).
//
// The video and the sound are read by two demuxers of their own on the file,
// so their positions advance independently; nothing seeks back. Diagnostic
// lines begin "QT" (DiagnosticSink.h; standard output by default).
#pragma once

#include "pipeline/FrameRateConverter.h"
#include "sources/AudioChain.h"
#include "sources/AudioFrameConverter.h"
#include "sources/MediaSource.h"
#include "sources/PictureConverter.h"
#include "sources/SoundTimeline.h"
#include "sources/StreamDecoder.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace moxel {

class MovieSource final : public MediaSource {
  public:
    // The most PCM one chunk hands to the audio chain at a time.
    static constexpr size_t kMaxChunkBytes = 262144;

    MovieSource() = default;
    ~MovieSource() override;

    bool open(const std::string& sourcePath, const std::string& profilePath) override;
    int getVideoFrame(const uint8_t** picture) override;
    int getAudio(uint8_t* buffer, int maxBytes, int* length) override;
    int close() override;
    int setOption(const char* name, int value) override;
    int setOption(const char* name, double value) override;

  private:
    bool fail();
    void openSound(const std::string& sourcePath);
    // The rate of the video track: its sample count over its duration, else
    // what the demuxer reports; 0 when nothing tells it.
    double trackFrameRate() const;
    // Decodes the next video sample into m_sample; false at the end of the video.
    bool readVideoSample();
    void renderSample();
    enum class ChunkResult { Data, Skipped, End };
    // Data: m_chunk and m_chunkBytes hold the next part; Skipped: a chunk
    // that could not be converted, or that lies wholly before the sound
    // already placed; End: the sound track is over.
    ChunkResult readSoundChunk();
    // Decodes and places the next frame into m_chunkRest and m_silenceFrames.
    ChunkResult decodeSoundFrame();
    void rebuildAudioChain();

    std::unique_ptr<StreamDecoder> m_video, m_audio;
    FramePtr m_sample; // the decoded sample waiting to be shown
    FrameRateConverter m_frameRate;
    bool m_havePending = false; // m_sample is due after m_pendingRepeat repetitions
    int64_t m_pendingRepeat = 0;
    bool m_haveOutput = false; // the output picture holds a picture

    PictureConverter m_pictures;
    std::vector<uint8_t> m_renderBuffer, m_scratchBuffer, m_outputPicture;

    AudioFrameConverter m_audioFrames;
    AudioChain m_chain;
    FramePtr m_soundFrame;
    uint8_t* m_chunkRest = nullptr; // decoded PCM of the current frame not yet converted
    size_t m_chunkRestBytes = 0;
    uint8_t* m_chunk = nullptr; // the part being converted
    size_t m_chunkBytes = 0;
    const uint8_t* m_pending = nullptr; // converted PCM not yet handed out
    size_t m_pendingBytes = 0;
    SoundTimeline m_soundTimeline;
    int64_t m_silenceFrames = 0; // silence still to go before m_chunkRest
    std::vector<uint8_t> m_silence;
    bool m_opened = false; // open succeeded; close reports
};

} // namespace moxel
