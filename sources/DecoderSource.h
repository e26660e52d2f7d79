// The source for every file the FFmpeg libraries can demux and decode (AVI,
// MPEG-PS/TS, MP4, MKV/WebM, FLV, WAV, MP3, ...): every source name that is
// not a movie (".mov") or capture name.
//
// Each stream is demuxed and decoded on a thread of its own, from a demuxer
// of its own on the file (the file is opened once per stream; every other
// stream is discarded there). So a file whose streams are interleaved far
// apart costs reading, never memory, and a full picture queue can never hold
// back the audio the worker waits for. The video thread makes the
// frame-rate decision, converts kept pictures to bottom-up BGRA and runs the
// picture stage into a pooled buffer; the audio thread places the sound on
// the timeline that starts at the first picture (SoundTimeline: silence for
// late sound and gaps, cuts for early sound and overlaps), then filters and
// resamples PCM. They hand over through two locked queues: at most 16
// pictures and about 512 KiB of PCM are waiting; past that a thread waits
// (on a condition variable) until the worker takes some, or close stops it.
//
// The worker thread calls open, getVideoFrame, getAudio and close; close
// stops and joins both threads even while they wait on full queues, then
// reports the source's counters (SourceReport).
#pragma once

#include "pipeline/FrameQueueReader.h"
#include "pipeline/FrameRateConverter.h"
#include "sources/AudioChain.h"
#include "sources/AudioFrameConverter.h"
#include "sources/MediaSource.h"
#include "sources/PictureConverter.h"
#include "sources/SoundTimeline.h"
#include "sources/StreamDecoder.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace moxel {

class DecoderSource final : public MediaSource {
  public:
    static constexpr size_t kMaxQueuedPictures = 16;
    static constexpr size_t kMaxQueuedAudioBytes = 512 * 1024;
    static constexpr size_t kMaxPooledPictures = 64;

    DecoderSource() = default;
    ~DecoderSource() override;

    bool open(const std::string& sourcePath, const std::string& profilePath) override;
    int getVideoFrame(const uint8_t** picture) override;
    int getAudio(uint8_t* buffer, int maxBytes, int* length) override;
    int close() override;
    int setOption(const char* name, int value) override;
    int setOption(const char* name, double value) override;

    // For tests that wait until the decoding threads are held back.
    size_t queuedPictures() const;
    size_t queuedAudioBytes() const;
    // The audio queue's bytes, those already read but not yet moved out included.
    size_t audioBytesHeld() const;

  private:
    using Picture = std::unique_ptr<uint8_t[]>;
    struct QueueEntry {
        int64_t repeat = 0;
        Picture picture;
    };

    bool fail(const std::string& message);
    bool detectFrameRate(const std::string& sourcePath, double& rate);
    bool startThreads();
    void stopThreads();
    // The body of each decoding thread: decodes until the stream ends or
    // close stops it, handing every frame to handle, then marks the end.
    void runStream(StreamDecoder& decoder, void (DecoderSource::*handle)(const AVFrame*),
                   const char* streamName, std::mutex& lock, std::condition_variable& changed,
                   bool& ended);
    void handlePicture(const AVFrame* frame);
    void handleAudio(const AVFrame* frame);
    // Waits for room, then runs block through the audio chain into the
    // queue; false once close stops the thread.
    bool queueAudio(uint8_t* block, size_t bytes);
    void rebuildAudioChainLocked();
    Picture takePooledPicture();
    void poolPicture(Picture picture);
    size_t pendingAudioLocked() const { return m_audioQueue.size() - m_audioReadPos; }

    std::atomic<bool> m_stopRequested{false};
    std::unique_ptr<StreamDecoder> m_video, m_audio;
    std::thread m_videoThread, m_audioThread;
    // The options, read by the video thread before each decision.
    std::atomic<int> m_ignoreDrops{0};
    std::atomic<double> m_outFps{0.0};

    // Pictures: the queue under m_videoLock, the pool under m_poolLock.
    mutable std::mutex m_videoLock;
    std::condition_variable m_videoChanged; // an entry came, went, or the stream ended
    std::deque<QueueEntry> m_videoQueue;
    bool m_videoEnded = false;
    std::mutex m_poolLock;
    std::vector<Picture> m_pool;

    // PCM, the audio chain and its end under m_audioLock.
    mutable std::mutex m_audioLock;
    std::condition_variable m_audioChanged;
    std::vector<uint8_t> m_audioQueue;
    size_t m_audioReadPos = 0;
    bool m_audioEnded = false;
    AudioChain m_chain;

    // Worker thread only.
    std::vector<uint8_t> m_outputPicture;
    bool m_haveOutput = false;
    bool m_opened = false; // open succeeded; close reports

    // Video thread only (prepared by open before the thread starts).
    FrameRateConverter m_frameRate;
    PictureConverter m_pictures;
    std::vector<uint8_t> m_conversionBuffer, m_scratchBuffer;
    bool m_reportedPictureChange = false;

    // Audio thread only (prepared by open before the thread starts).
    AudioFrameConverter m_audioFrames;
    bool m_reportedUnsupportedAudio = false;
    SoundTimeline m_soundTimeline;
    std::vector<uint8_t> m_silence;
};

} // namespace moxel
