// One conversion job's encoder: raw pictures ("RGBA", 4 bytes a pixel, or
// planar 4:2:0 when the source offers them and the coder takes them) and
// interleaved 16-bit PCM in, KMF frames out to a .kmf file (with the optional
// file header, written as a placeholder at open and rewritten in place at
// close) and/or to a stream server through StreamOutput.
//
// It decides how much audio each frame carries (up to the video time plus the
// send-ahead, within a 24576-byte budget), which frames are sync frames, and
// the audio/video offset that the next sync frame announces.
//
// Time is paced by the frame rate the frames announce: the rate of the
// one-byte code KmfFrame::setInfo writes, which differs from the rate given
// to setVideo when that rate has no exact code.
//
// At the end of the sound (endAudio, finishAudio) the audio coder is flushed
// when it can be (FlushableAudioCoder.h): the input it kept back and the
// output its codec lags behind by go into the frames.
//
// Used by one thread at a time: created by the job start, then configured,
// fed and destroyed by the job's worker (setters, setVideo/setAudio,
// openOutput, then rounds of audioNeeded/addAudioData/addVideoFrame, then
// finishAudio when the source has ended, then close or destruction).
// Failures set errorText() to one of the fixed messages; it is never
// cleared, and the caller stops calling once it is set.
//
// A file is written through OutputFile: into a temporary beside it, which
// close(Keep) renames over the destination and close(Discard) removes, so an
// existing file is replaced only by a finished one. Destinations that cannot
// seek (a FIFO, a device, standard output) are written directly and without
// the file header.
#pragma once

#include "container/KmfBitWriter.h"
#include "container/KmfFileHeader.h"
#include "container/KmfFrame.h"
#include "container/KmfFrameGather.h"
#include "encoder/CoderFactory.h"
#include "encoder/FlushableAudioCoder.h"
#include "encoder/KmfCoderPlugin.h"
#include "encoder/OutputFile.h"
#include "encoder/StreamStats.h"
#include "net/AsyncResolver.h"
#include "net/Clock.h"

#include <array>
#include <cstdint>
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
// Frames without a picture that finishAudio may add for the flushed tail.
inline constexpr int kEncoderMaxTailFrames = 16;
inline constexpr int kEncoderDefaultMaxSync = 120;

// Whether the encoder has the audio for the next frame (audioNeeded).
enum class AudioNeed {
    Enough,          // the audio reaches the next frame's time
    MoreWanted,      // short of it, with some audio still queued
    MoreWantedEmpty, // short of it, with nothing queued: a sound source has run out
};

// What close does with the file written: the job's result, or nothing of use.
enum class OutputEnd {
    Keep,    // finished and put in the destination's place
    Discard, // removed; an existing destination stays as it was
};

class KmfEncoder {
  public:
    KmfEncoder();
    ~KmfEncoder(); // runs close(OutputEnd::Keep)
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
    // steady clock; not owned, must outlive the encoder), the resolver the
    // connection uses (default: its own), and how long close() may spend
    // sending what still waits (default kStreamFlushMs, real time). Set
    // before openOutput. The "[qz]" / "[brox]" lines go to the diagnostic sink.
    void setClock(Clock* clock) { m_clock = clock ? clock : &steadyClock(); }
    void setStreamFlushMs(int ms) { m_streamFlushMs = ms; }
    void setStreamResolver(std::unique_ptr<AsyncResolver> resolver)
    {
        m_streamResolver = std::move(resolver);
    }

    void setVideo(uint32_t format, int width, int height, double frameRate, uint32_t sourceFormat,
                  const char* configFile);
    void setAudio(uint32_t format, int sampleRate, int channels, int bitsPerSample,
                  uint32_t sourceFormat, const char* configFile);
    // The source can also hand its pictures over in planar 4:2:0 as source
    // describes (KmfCoderPlugin.h). openOutput then asks for a coder of that
    // input first and takes setVideo's sourceFormat only when none takes it;
    // videoSourceFormat() says which the pictures must be in.
    void offerPlanarPictures(const KmfPlanarFormat& source) { m_planarOffer = source; }
    // The layout addVideoFrame expects: setVideo's sourceFormat, or
    // kCoderLayoutI420 once openOutput made a coder for the planar offer.
    uint32_t videoSourceFormat() const { return m_videoSourceFormat; }
    // 0, or 1 when the copy could not be stored.
    int setHdrMetaData(const uint8_t* data, int length);
    // A nonzero size also enables the header.
    void setHdrTocSize(int slots);

    void openOutput(const char* destination);
    void addAudioData(const uint8_t* data, int length);
    AudioNeed audioNeeded() const;
    // picture may be null (a source without video).
    void addVideoFrame(const void* picture);
    // The source has no more sound: later addAudioData is ignored, and the
    // frame whose time reaches the end of the queued sound takes all of it
    // and flushes the coder (the rest of a flush that does not fit goes
    // into the next frames). A coder that cannot be flushed loses the
    // remainder it will not take, so the queue still empties.
    void endAudio();
    // True after endAudio while the coder's flushed output is not all out.
    bool audioFlushPending() const { return m_flushPending; }
    // The source has ended (no more pictures, no more sound): ends the
    // sound, keeps the queued sound only up to the time of the frames so
    // far plus the send-ahead, and adds frames without a picture for what
    // is left of it and for the coder's flush, as many as that takes (none
    // when nothing is left).
    void finishAudio();
    // Writes the final header, closes the file, ends the stream (what still
    // waits goes out within the stream's bound), destroys the coders. With Keep the file takes the
    // destination's place; with Discard, or when openOutput failed, it is removed. False (errorText
    // "close: error writing output file", or the rename's message) when the header rewrite, the
    // close or the rename failed; the file is then removed too. Safe to call more than once.
    bool close(OutputEnd end = OutputEnd::Keep);

    const char* errorText() const { return m_errorText; }
    uint64_t videoFrameCount() const { return m_videoFrameCount; }
    // The rate the frames announce, which paces the sound and the header's length.
    double pacedFrameRate() const { return m_pacedFrameRate; }
    uint64_t audioBytesConsumed() const { return m_audioBytesConsumed; }
    uint32_t framesWritten() const { return m_framesWritten; }
    // Bytes written to the output file (or a stream's copy) so far, header included.
    uint64_t fileBytesWritten() const { return m_filePosition; }
    size_t audioQueued() const { return m_audioQueue.size(); }
    const std::vector<uint32_t>& framePositions() const { return m_framePositions; }
    const KmfFrame& frame() const { return m_frame; }
    // The stream of a stream destination until close(), null otherwise.
    const StreamOutput* streamOutput() const { return m_stream.get(); }
    // The file being written (a temporary until close), empty when none is open.
    std::string writingPath() const { return m_output.isOpen() ? m_output.writingPath() : ""; }
    // What became of a stream destination's frames so far, and for good
    // once close() has ended the stream; empty for a file destination.
    std::optional<StreamStats> streamStats() const;

  private:
    // Makes m_vidcoder from the planar offer, if there is one and a coder takes it.
    void tryPlanarVideoCoder(uint32_t& videoFormat, const char* videoConfig);
    double audioSeconds(uint64_t bytes) const;
    int bytesPerSecond() const;
    void setError(const char* text);
    // Opens the file (or a stream's copy); null or the fixed message.
    const char* openFile(const std::string& path);
    // Serialises the placeholder header into m_writer; false when it cannot
    // be made (too large for its 32-bit size field, or for memory).
    bool preparePlaceholder();
    bool fileHeaderOn() const { return m_writeHeader && m_output.isOpen() && m_output.seekable(); }
    enum class FrameEmit { Ok, InvalidFrame, WriteFailed };
    // Serialises m_frame and sends it to the file and/or the stream.
    FrameEmit emitFrame();
    bool writeOutput(const uint8_t* bytes, size_t length);
    // Encode calls, then the flush once the sound has ended and its end is
    // within targetSeconds; returns the bytes put into m_audioOut.
    int drainAudio(double targetSeconds);
    enum class DrainStop { Done, CoderIdle, Full };
    DrainStop encodeAudio(double targetSeconds, int& produced);
    void flushAudio(int& produced);
    // Books one coder call: the input it took (clamped to queued) leaves the
    // queue and counts as consumed; its output (within room) as produced.
    void bookAudioCall(int& consumed, int queued, int r, int room, int& produced);
    // Counts the frame and sends it with the picture and audio in m_videoOut and m_audioOut.
    void finishFrame(int keyFlag, int videoLength, int audioLength);
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
    double m_pacedFrameRate = 15.0; // the rate of m_frameRate's code
    int m_width = 0;
    int m_height = 0;
    uint32_t m_videoFormat;
    uint32_t m_videoSourceFormat = 0;
    std::optional<KmfPlanarFormat> m_planarOffer;
    std::optional<std::string> m_videoConfigFile;
    int m_audioSendAheadMs = 0;
    int m_maxSync = kEncoderDefaultMaxSync;
    int m_minSync = 0;
    KmfFileHeader m_header;
    OutputFile m_output;        // the .kmf file or the stream's copy
    bool m_outputReady = false; // openOutput succeeded: the file may be kept
    uint64_t m_filePosition = 0;
    bool m_placeholderWritten = false; // the final header goes only over a placeholder
    std::unique_ptr<StreamOutput> m_stream;
    KmfFrame m_frame;
    std::unique_ptr<AudioCoder> m_audioCoder;
    FlushableAudioCoder* m_flushable = nullptr; // m_audioCoder, when it can be flushed
    bool m_audioEnded = false;
    bool m_flushStarted = false;
    bool m_flushPending = false;
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
    std::unique_ptr<AsyncResolver> m_streamResolver;
    int m_streamFlushMs;
    std::optional<StreamStats> m_closedStreamStats;
};

} // namespace moxel
