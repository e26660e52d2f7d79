// The source for movie files (names ending ".mov"). It has no threads and no
// queues: the worker's calls drive it. getVideoFrame steps through the
// video samples against an output clock (all times in movie units x 41),
// repeating or skipping samples to reach the output frame rate, and renders
// the sample due into a bottom-up 32-bit picture for the picture stage.
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
    // The start of the first video sample after time (movie units); false
    // when there is none.
    bool nextVideoSampleAfter(int64_t time, int64_t& sampleTime);
    enum class ChunkResult { Data, Skipped, End };
    // Data: m_chunk and m_chunkBytes hold the next part; Skipped: a chunk
    // that could not be converted, or that lies wholly before the sound
    // already placed; End: the sound track is over.
    ChunkResult readSoundChunk();
    // Decodes and places the next frame into m_chunkRest and m_silenceFrames.
    ChunkResult decodeSoundFrame();
    void rebuildAudioChain();

    std::unique_ptr<StreamDecoder> m_video, m_audio;
    int64_t m_timeScale = 0;     // movie units per second
    int64_t m_timeNumerator = 1; // movie units per stream tick
    FramePtr m_sample;           // the decoded sample at m_sampleTime
    bool m_haveSample = false;
    int64_t m_sampleTime = 0;
    int64_t m_samplePos = 0;   // movie time x 41 of the last sample used
    int64_t m_outputClock = 0; // movie time x 41 at which the current output frame ends
    int64_t m_step = 0;        // one output frame in movie time x 41
    bool m_rendered = false;

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
