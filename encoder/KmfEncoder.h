// One conversion job's encoder: raw pictures ("RGBA", 4 bytes a pixel) and
// interleaved 16-bit PCM in, KMF frames out to a .kmf file (with the optional
// file header, written as a placeholder at open and rewritten in place at
// close) and/or to a stream server through StreamOutput.
//
// It decides how much audio each frame carries (up to the video time plus the
// send-ahead, within a 24576-byte budget), which frames are sync frames, and
// the audio/video offset that the next sync frame announces.
//
// Used by one thread at a time: created by the job start, then configured,
// fed and destroyed by the job's worker (setters, setVideo/setAudio,
// openOutput, then rounds of audioNeeded/addAudioData/addVideoFrame, then
// close or destruction). Failures set errorText() to one of the fixed
// messages; it is never cleared, and the caller stops calling once it is set.
#pragma once

#include "container/KmfBitWriter.h"
#include "container/KmfFileHeader.h"
#include "container/KmfFrame.h"
#include "container/KmfFrameGather.h"
#include "encoder/CoderFactory.h"
#include "encoder/KmfCoderPlugin.h"
#include "net/AsyncResolver.h"
#include "net/Clock.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace moxel {

class StreamOutput;

inline constexpr int kEncoderAudioOutRoom = 32768;
// Audio drain budget per frame: output so far plus one average call stays
// within this, so a frame's audio never exceeds kEncoderAudioOutRoom.
inline constexpr int kEncoderAudioBudget = 0x6000; // 24576
// Audio coder calls in a row that neither produce nor consume before the
// drain of one frame gives up.
inline constexpr int kEncoderMaxIdleAudioCalls = 64;
inline constexpr int kEncoderDefaultMaxSync = 120;

// Whether the encoder has the audio for the next frame (audioNeeded).
enum class AudioNeed {
    Enough,          // the audio reaches the next frame's time
    MoreWanted,      // short of it, with some audio still queued
    MoreWantedEmpty, // short of it, with nothing queued: a sound source has run out
};

class KmfEncoder {
  public:
    KmfEncoder();
    ~KmfEncoder(); // runs close()
    KmfEncoder(const KmfEncoder&) = delete;
    KmfEncoder& operator=(const KmfEncoder&) = delete;

    void setAudioSendAheadMs(int ms) { m_audioSendAheadMs = ms; }
    void setMaxSync(int frames) { m_maxSync = frames; }
    void setMinSync(int frames) { m_minSync = frames; }
    void setWriteHeader(bool on) { m_writeHeader = on; }
    // Coders come from factory instead of the built-ins and the program's
    // plug-ins. Not owned; must outlive the encoder. Set before openOutput.
    void setCoderFactory(CoderFactory* factory) { m_coderFactory = factory; }
    // Stream destinations: the clock that paces reconnects (default: the
    // steady clock; not owned, must outlive the encoder), where the "[qz]" /
    // "[brox]" diagnostics go (default: the diagnostic sink), and the resolver
    // the connection uses (default: its own). Set before openOutput.
    void setClock(Clock* clock) { m_clock = clock ? clock : &steadyClock(); }
    void setStreamLog(std::function<void(const std::string&)> log) { m_streamLog = std::move(log); }
    void setStreamResolver(std::unique_ptr<AsyncResolver> resolver)
    {
        m_streamResolver = std::move(resolver);
    }

    void setVideo(uint32_t format, int width, int height, double frameRate, uint32_t sourceFormat,
                  const char* configFile);
    void setAudio(uint32_t format, int sampleRate, int channels, int bitsPerSample,
                  uint32_t sourceFormat, const char* configFile);
    // 0, or 1 when the copy could not be stored.
    int setHdrMetaData(const uint8_t* data, int length);
    // A nonzero size also enables the header.
    void setHdrTocSize(int slots);

    void openOutput(const char* destination);
    void addAudioData(const uint8_t* data, int length);
    AudioNeed audioNeeded() const;
    // picture may be null (a source without video).
    void addVideoFrame(const void* picture);
    // Writes the final header, closes the file and the stream, destroys the
    // coders. False (errorText "close: error writing output file") when the
    // header rewrite or the close failed. Safe to call more than once.
    bool close();

    const char* errorText() const { return m_errorText; }
    uint64_t videoFrameCount() const { return m_videoFrameCount; }
    uint64_t audioBytesConsumed() const { return m_audioBytesConsumed; }
    uint32_t framesWritten() const { return m_framesWritten; }
    // Bytes written to the output file (or a stream's copy) so far, header included.
    uint64_t fileBytesWritten() const { return m_filePosition; }
    size_t audioQueued() const { return m_audioQueue.size(); }
    const std::vector<uint32_t>& framePositions() const { return m_framePositions; }
    const KmfFrame& frame() const { return m_frame; }
    // The stream of a stream destination, null otherwise.
    const StreamOutput* streamOutput() const { return m_stream.get(); }

  private:
    double audioSeconds(uint64_t bytes) const;
    int bytesPerSecond() const;
    void setError(const char* text);
    bool openFile(const std::string& path);
    enum class FrameEmit { Ok, InvalidFrame, WriteFailed };
    // Serialises m_frame and sends it to the file and/or the stream.
    FrameEmit emitFrame();
    bool writeOutput(const uint8_t* bytes, size_t length);
    int drainAudio();
    bool writeFinalHeader();

    const char* m_errorText = nullptr;
    bool m_writeHeader = false;
    int m_channels = 0;
    int m_sampleRate = 0;
    int m_bitsPerSample = 0;
    uint32_t m_audioSourceFormat = 0;
    uint32_t m_audioFormat;
    std::optional<std::string> m_audioConfigFile;
    double m_frameRate = 15.0;
    int m_width = 0;
    int m_height = 0;
    uint32_t m_videoFormat;
    uint32_t m_videoSourceFormat = 0;
    std::optional<std::string> m_videoConfigFile;
    int m_audioSendAheadMs = 0;
    int m_maxSync = kEncoderDefaultMaxSync;
    int m_minSync = 0;
    KmfFileHeader m_header;
    int m_outputFile = -1; // file descriptor of the .kmf file or the stream's copy
    uint64_t m_filePosition = 0;
    bool m_placeholderWritten = false; // the final header goes only over a placeholder
    std::unique_ptr<StreamOutput> m_stream;
    KmfFrame m_frame;
    std::unique_ptr<AudioCoder> m_audioCoder;
    std::unique_ptr<VideoCoder> m_vidcoder;
    uint64_t m_audioBytesConsumed = 0;
    uint64_t m_videoFrameCount = 0;
    std::array<uint8_t, kCoderVideoOutRoom> m_videoOut;
    std::array<uint8_t, kEncoderAudioOutRoom> m_audioOut;
    std::vector<uint8_t> m_audioQueue;
    uint32_t m_framesWritten = 0;
    std::vector<uint32_t> m_framePositions;
    int m_framesSinceSync = kEncoderDefaultMaxSync + 1;
    KmfBitWriter m_writer;   // the file header
    KmfFrameGather m_gather; // each frame as ranges, for one writev and for the stream
    CoderFactory* m_coderFactory = nullptr;
    Clock* m_clock = &steadyClock();
    std::function<void(const std::string&)> m_streamLog;
    std::unique_ptr<AsyncResolver> m_streamResolver;
};

} // namespace moxel
