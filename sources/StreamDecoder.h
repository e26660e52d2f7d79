// One stream of a media file, demuxed and decoded on its own: a demuxer of
// its own on the file that discards every other stream, and the stream's
// decoder. The decoder source runs one per stream on the stream's thread (so
// a far-apart interleaving never makes one stream buffer the other's
// packets); the movie source runs two on the worker thread.
//
// Packets the decoder refuses are skipped and counted, with the time of the
// first. A read error ends the stream like the end of the file. An optional
// stop flag interrupts blocking reads, so that a closing source never waits
// for the file.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <atomic>
#include <memory>
#include <string>

namespace moxel {

struct FormatContextCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecContextFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;

class StreamDecoder {
  public:
    enum class OpenResult { Opened, NoStream, NoDecoder, CannotOpenFile };

    explicit StreamDecoder(const std::atomic<bool>* stopFlag = nullptr) : m_stopFlag(stopFlag) {}

    // Opens path and picks its best stream of type (attached cover pictures
    // never count as video).
    OpenResult open(const std::string& path, AVMediaType type);

    bool isOpen() const { return m_codec != nullptr; }
    AVStream* stream() const { return m_stream; }
    AVCodecContext* codec() const { return m_codec.get(); }
    // The stream's start in its time base (0 when the file does not say).
    int64_t startTime() const;
    // The stream's start in microseconds; AV_NOPTS_VALUE when the file does not say.
    int64_t startUs() const;
    // The file's length in seconds when the demuxer knows it, else 0.
    double durationSeconds() const;
    // True when that length is only guessed from the bit rate.
    bool durationGuessed() const;
    // Where the file's time begins (its streams' earliest start), in seconds.
    double fileStartSeconds() const;
    // True for formats whose stamps may start again mid-file (MPEG streams).
    bool stampsMayRestart() const;

    // The next decoded frame in presentation order into frame; false at the
    // end of the stream, after a read error or once the stop flag is set.
    bool next(AVFrame* frame);

    int64_t skippedPackets() const { return m_skippedPackets; }
    // The stamp of the first skipped packet (in the stream's time base, that
    // of the packet read before it when it has none); AV_NOPTS_VALUE when
    // none had a time.
    int64_t firstSkippedTime() const { return m_firstSkippedTime; }

    // True once the stream has ended by itself (not by the stop flag).
    bool reachedEnd() const { return m_reachedEnd; }
    // Where the frames decoded so far end, in seconds of the file's time;
    // -1 before the first frame with a time.
    double endSeconds() const { return m_endSeconds; }

  private:
    static int interrupted(void* self);
    void noteFrame(const AVFrame* frame);

    const std::atomic<bool>* m_stopFlag;
    std::unique_ptr<AVFormatContext, FormatContextCloser> m_format;
    std::unique_ptr<AVCodecContext, CodecContextFreer> m_codec;
    std::unique_ptr<AVPacket, PacketFreer> m_packet;
    AVStream* m_stream = nullptr;
    bool m_flushed = false; // the end of the packets has been sent to the decoder
    bool m_ended = false;
    int m_errorsInRow = 0;
    int64_t m_skippedPackets = 0;
    int64_t m_firstSkippedTime = AV_NOPTS_VALUE;
    int64_t m_lastTime = AV_NOPTS_VALUE; // of the last packet read, for an unstamped skipped one
    bool m_reachedEnd = false;
    double m_endSeconds = -1.0;
};

} // namespace moxel
