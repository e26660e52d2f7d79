#include "encoder/KmfEncoder.h"

#include "base/DiagnosticSink.h"
#include "container/FourCC.h"
#include "container/FrameRateCode.h"
#include "encoder/CodecPlugins.h"
#include "encoder/StreamOutput.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <limits>
#include <new>

namespace moxel {

namespace {

// Growable buffers grow to twice the new length when it passes the capacity.
template <typename T> void reserveFor(std::vector<T>& v, size_t newLength)
{
    if (newLength > v.capacity())
        v.reserve(newLength * 2);
}

// Writes all of bytes, at offset (pwrite) or at the file position (offset < 0).
// Returns the number of bytes written, which is less than length on error.
size_t writeAll(int fd, const uint8_t* bytes, size_t length, off_t offset)
{
    size_t done = 0;
    while (done < length) {
        ssize_t n = offset < 0 ? ::write(fd, bytes + done, length - done)
                               : ::pwrite(fd, bytes + done, length - done, offset + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    return done;
}

// Keeps the encoder's own copy of a profile path (null stays null).
bool copyConfigFile(std::optional<std::string>& copy, const char* configFile)
{
    try {
        copy.reset();
        if (configFile)
            copy.emplace(configFile);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// The rate the frames announce for rate: the rate of its code, or rate itself
// when it is that rate but for rounding, or when no code fits.
double announcedRate(double rate)
{
    const uint8_t code = encodeFrameRate(rate);
    if (code == 0)
        return rate;
    const double coded = decodeFrameRate(code);
    return std::fabs(coded - rate) <= 1e-9 * std::fabs(rate) ? rate : coded;
}

uint32_t truncatedMs(double ms)
{
    if (!std::isfinite(ms) || ms <= 0.0)
        return 0;
    return ms >= 4294967295.0 ? UINT32_MAX : uint32_t(ms);
}

} // namespace

KmfEncoder::KmfEncoder()
    : m_audioFormat(kFourCCNone), m_videoFormat(kFourCCNone), m_streamFlushMs(kStreamFlushMs)
{
}

KmfEncoder::~KmfEncoder()
{
    close();
}

void KmfEncoder::setError(const char* text)
{
    // The first failure is the one the user needs to see.
    if (!m_errorText)
        m_errorText = text;
}

void KmfEncoder::setVideo(uint32_t format, int width, int height, double frameRate,
                          uint32_t sourceFormat, const char* configFile)
{
    m_videoFormat = format;
    m_width = width;
    m_height = height;
    m_frameRate = frameRate;
    m_pacedFrameRate = announcedRate(frameRate);
    m_videoSourceFormat = sourceFormat;
    if (!copyConfigFile(m_videoConfigFile, configFile))
        setError("setVideo: error calling strdup() for configfile");
}

void KmfEncoder::setAudio(uint32_t format, int sampleRate, int channels, int bitsPerSample,
                          uint32_t sourceFormat, const char* configFile)
{
    m_audioFormat = format;
    m_sampleRate = sampleRate;
    m_channels = channels;
    m_bitsPerSample = bitsPerSample;
    m_audioSourceFormat = sourceFormat;
    if (!copyConfigFile(m_audioConfigFile, configFile))
        setError("setAudio: error calling strdup() for configfile");
}

int KmfEncoder::setHdrMetaData(const uint8_t* data, int length)
{
    m_header.metadata.clear();
    m_header.metadata.shrink_to_fit();
    if (!data || length <= 0)
        return 0;
    try {
        m_header.metadata.assign(data, data + length);
    } catch (const std::bad_alloc&) {
        setError("setHdrMetaData: error calling malloc()");
        return 1;
    }
    return 0;
}

void KmfEncoder::setHdrTocSize(int slots)
{
    m_header.tocSize = uint32_t(std::max(slots, 0));
    if (slots > 0)
        m_writeHeader = true;
}

const char* KmfEncoder::openFile(const std::string& path)
{
    m_filePosition = 0;
    return m_output.open(path);
}

bool KmfEncoder::preparePlaceholder()
{
    const uint64_t headerBytes = uint64_t(kKmfFileHeaderFixedSize) + m_header.metadata.size() +
                                 4 * uint64_t(std::max(m_header.tocSize, m_header.tocAllocated));
    if (headerBytes > UINT32_MAX)
        return false;
    // An allocation may succeed and still not be there when touched: the
    // header, the writer's room for it and the TOC built at close must fit
    // in the machine's memory.
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageBytes = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageBytes > 0 && 3 * headerBytes > uint64_t(pages) * uint64_t(pageBytes))
        return false;
    m_header.fileSize = 0;
    m_header.lengthMs = 0;
    m_header.toc.clear();
    m_writer.clear();
    try {
        m_writer.reserve(size_t(headerBytes));
        m_header.serialise(m_writer, 0);
    } catch (const std::bad_alloc&) {
        m_writer.clear();
        return false;
    }
    m_writer.finish();
    return true;
}

KmfEncoder::FrameEmit KmfEncoder::emitFrame()
{
    // The frame as ranges: the file gets it with one gather write and the
    // stream copies the picture only into the connection, never into a
    // serialised frame first.
    if (m_gather.build(m_frame) < 0)
        return FrameEmit::InvalidFrame;
    if (m_output.isOpen()) {
        const OutputFile::WriteGuard guard(m_output);
        if (m_gather.writeTo(m_output.fd()) < 0)
            return FrameEmit::WriteFailed;
        m_filePosition += m_gather.size();
    }
    if (m_stream)
        m_stream->sendFrame(m_gather.ranges().data(), m_gather.ranges().size());
    return FrameEmit::Ok;
}

bool KmfEncoder::writeOutput(const uint8_t* bytes, size_t length)
{
    size_t written = writeAll(m_output.fd(), bytes, length, -1);
    m_filePosition += written;
    return written == length;
}

void KmfEncoder::openOutput(const char* destination)
{
    try {
        if (!destination) {
            setError("openOutput: error opening output file");
            return;
        }
        const bool stream = isStreamDestination(destination);
        std::string file = stream ? std::string() : std::string(destination);
        if (stream) {
            m_stream = std::make_unique<StreamOutput>(*m_clock, std::move(m_streamResolver));
            if (const char* failure = m_stream->open(destination, file)) {
                setError(failure);
                return;
            }
        }
        if (!file.empty()) {
            // A header that cannot be made ends the job before any file exists.
            if (m_writeHeader && !preparePlaceholder()) {
                setError("openOutput: hdrtoc is too large for the file header");
                return;
            }
            if (const char* failure = openFile(file)) {
                if (!stream) {
                    setError(failure);
                    return;
                }
                // The copy is optional: when it cannot be opened there is none.
                emitDiagnostic(kStreamCopyDiagnostics, DiagnosticLevel::Error,
                               "stream copy: cannot open " + file);
            }
        }
        if (!m_coderFactory)
            loadCodecPlugins();

        if (m_audioFormat == 0) {
            setError("error: no output audio codec selected");
            return;
        }
        if (m_videoFormat == 0) {
            setError("error: no output video codec selected");
            return;
        }

        const char* audioConfig = m_audioConfigFile ? m_audioConfigFile->c_str() : nullptr;
        const char* videoConfig = m_videoConfigFile ? m_videoConfigFile->c_str() : nullptr;
        m_frame.audioFormat = kFourCCNone;
        if (m_audioFormat != kFourCCNone) {
            uint32_t format = m_audioFormat;
            m_audioCoder =
                m_coderFactory
                    ? m_coderFactory->createAudioCoder(m_channels, m_sampleRate, m_bitsPerSample,
                                                       m_audioSourceFormat, &format, audioConfig)
                    : createAudioCoder(m_channels, m_sampleRate, m_bitsPerSample,
                                       m_audioSourceFormat, &format, audioConfig);
            if (!m_audioCoder) {
                setError("openOutput: error creating audio compressor");
                return;
            }
            m_frame.audioFormat = format;
            m_flushable = dynamic_cast<FlushableAudioCoder*>(m_audioCoder.get());
        }
        uint32_t videoFormat = kFourCCNone;
        if (m_videoFormat != kFourCCNone) {
            videoFormat = m_videoFormat;
            tryPlanarVideoCoder(videoFormat, videoConfig);
            if (!m_vidcoder)
                m_vidcoder = m_coderFactory
                                 ? m_coderFactory->createVideoCoder(m_width, m_height, m_frameRate,
                                                                    m_videoSourceFormat,
                                                                    &videoFormat, videoConfig)
                                 : createVideoCoder(m_width, m_height, m_frameRate,
                                                    m_videoSourceFormat, &videoFormat, videoConfig);
            if (!m_vidcoder) {
                setError("openOutput: error creating video compressor");
                return;
            }
        }
        m_frame.setInfo(videoFormat, m_width, m_height, m_frameRate);

        // A destination that cannot seek could not take the final header.
        if (fileHeaderOn()) {
            if (!writeOutput(m_writer.data(), m_writer.length())) {
                setError("openOutput: error writing output file");
                return;
            }
            m_placeholderWritten = true;
        }
        m_outputReady = !m_errorText;
    } catch (const std::bad_alloc&) {
        setError("openOutput: error calling strdup()");
    }
}

void KmfEncoder::tryPlanarVideoCoder(uint32_t& videoFormat, const char* videoConfig)
{
    if (!m_planarOffer)
        return;
    uint32_t format = videoFormat;
    m_vidcoder = m_coderFactory
                     ? m_coderFactory->createPlanarVideoCoder(m_width, m_height, m_frameRate,
                                                              *m_planarOffer, &format, videoConfig)
                     : createPlanarVideoCoder(m_width, m_height, m_frameRate, *m_planarOffer,
                                              &format, videoConfig);
    if (!m_vidcoder)
        return;
    videoFormat = format;
    m_videoSourceFormat = m_planarOffer->layout;
}

int KmfEncoder::bytesPerSecond() const
{
    return (m_bitsPerSample / 8) * m_sampleRate * m_channels;
}

double KmfEncoder::audioSeconds(uint64_t bytes) const
{
    return double(bytes) / double(bytesPerSecond());
}

void KmfEncoder::addAudioData(const uint8_t* data, int length)
{
    if (!data || length <= 0 || m_audioEnded)
        return;
    // Nothing would ever take audio of a stream without audio; count it as
    // taken so the caller's pacing by audioNeeded stays the same.
    if (m_audioFormat == kFourCCNone) {
        m_audioBytesConsumed += uint64_t(length);
        return;
    }
    try {
        reserveFor(m_audioQueue, m_audioQueue.size() + size_t(length));
        m_audioQueue.insert(m_audioQueue.end(), data, data + length);
    } catch (const std::bad_alloc&) {
        setError("addAudioData: out of memory");
    }
}

AudioNeed KmfEncoder::audioNeeded() const
{
    // Without a byte rate there is no audio time to reach.
    if (bytesPerSecond() <= 0)
        return AudioNeed::Enough;
    double available = audioSeconds(m_audioBytesConsumed + m_audioQueue.size());
    double wanted = double(m_videoFrameCount + 1) / m_pacedFrameRate + m_audioSendAheadMs * 0.001;
    if (wanted <= available)
        return AudioNeed::Enough;
    return m_audioQueue.empty() ? AudioNeed::MoreWantedEmpty : AudioNeed::MoreWanted;
}

void KmfEncoder::bookAudioCall(int& consumed, int queued, int r, int room, int& produced)
{
    consumed = std::clamp(consumed, 0, queued);
    if (consumed > 0) {
        m_audioBytesConsumed += uint64_t(consumed);
        m_audioQueue.erase(m_audioQueue.begin(), m_audioQueue.begin() + consumed);
    }
    if (r > 0)
        produced += std::min(r, room);
}

KmfEncoder::DrainStop KmfEncoder::encodeAudio(double targetSeconds, int& produced)
{
    int idleCalls = 0;
    for (int callIndex = 0;;) {
        int queued = int(std::min<size_t>(m_audioQueue.size(), INT_MAX));
        int room = kEncoderAudioOutRoom - produced;
        int consumed = 0;
        int r = m_audioCoder->Encode(callIndex, m_audioQueue.data(), queued, &consumed,
                                     m_audioOut.data() + produced, room);
        ++callIndex;
        bookAudioCall(consumed, queued, r, room, produced);
        if (r == 0 && (consumed == 0 || m_audioQueue.empty()))
            return DrainStop::CoderIdle;
        if (r > room || bytesPerSecond() <= 0)
            return DrainStop::Full;
        if (audioSeconds(m_audioBytesConsumed) >= targetSeconds)
            return DrainStop::Done;
        // A coder that keeps failing without taking input would hold the frame forever.
        idleCalls = (r <= 0 && consumed == 0) ? idleCalls + 1 : 0;
        if (idleCalls >= kEncoderMaxIdleAudioCalls)
            return DrainStop::CoderIdle;
        if (produced + produced / callIndex > kEncoderAudioBudget)
            return DrainStop::Full;
    }
}

void KmfEncoder::flushAudio(int& produced)
{
    if (!m_flushable) {
        // Nothing follows, and this coder cannot be asked for what it
        // will not take: the remainder is dropped so the queue empties.
        m_audioQueue.clear();
        return;
    }
    m_flushStarted = true;
    for (int call = 0; call < kEncoderMaxIdleAudioCalls; ++call) {
        const int queued = int(std::min<size_t>(m_audioQueue.size(), INT_MAX));
        const int room = kEncoderAudioOutRoom - produced;
        int consumed = 0;
        int pending = 0;
        const int r = m_flushable->Flush(m_audioQueue.data(), queued, &consumed,
                                         m_audioOut.data() + produced, room, &pending);
        bookAudioCall(consumed, queued, r, room, produced);
        // An error or a broken count ends the flush; so does output that
        // cannot fit even into a whole frame's room.
        m_flushPending =
            pending != 0 && r >= 0 && r <= room && (r > 0 || room < kEncoderAudioOutRoom);
        if (!m_flushPending || r == 0)
            break;
    }
    if (!m_flushPending)
        m_audioQueue.clear(); // the coder had its chance at all of it
}

int KmfEncoder::drainAudio(double targetSeconds)
{
    int produced = 0;
    if (m_flushStarted) {
        // After the flush call, the coder only hands out what is left of it.
        if (m_flushPending)
            flushAudio(produced);
        return produced;
    }
    const DrainStop stop = encodeAudio(targetSeconds, produced);
    // Once the sound has ended, the frame that reaches the end of it takes
    // the rest, unless its room is used up.
    if (m_audioEnded && stop != DrainStop::Full &&
        audioSeconds(m_audioBytesConsumed + m_audioQueue.size()) <= targetSeconds)
        flushAudio(produced);
    return produced;
}

void KmfEncoder::addVideoFrame(const void* picture)
{
    try {
        int keyFlag = 0;
        int videoLength = 0;
        if (picture && m_vidcoder) {
            int r = m_vidcoder->Encode(picture, m_videoOut.data(), &keyFlag);
            if (r < 0) {
                setError("addVideoFrame: vidcoder->Encode() returned error");
                return;
            }
            videoLength = r;
        }
        ++m_videoFrameCount;
        int produced = 0;
        if (m_audioFormat != kFourCCNone && m_audioCoder)
            produced = drainAudio(double(m_videoFrameCount) / m_pacedFrameRate +
                                  m_audioSendAheadMs * 0.001);
        finishFrame(keyFlag, videoLength, produced);
    } catch (const std::bad_alloc&) {
        setError("addVideoFrame: out of memory");
    }
}

void KmfEncoder::finishFrame(int keyFlag, int videoLength, int produced)
{
    bool recordPosition = fileHeaderOn();
    if (recordPosition) {
        reserveFor(m_framePositions, m_framePositions.size() + 1);
        m_framePositions.push_back(uint32_t(m_filePosition - m_header.headerSize));
    }
    ++m_framesWritten;

    m_frame.videoData = m_videoOut.data();
    m_frame.videoLength = videoLength;
    m_frame.audioData = m_audioOut.data();
    m_frame.audioLength = produced;

    ++m_framesSinceSync;
    m_frame.isSync =
        (keyFlag != 0 && m_framesSinceSync > m_minSync) || m_framesSinceSync > m_maxSync;
    if (m_frame.isSync)
        m_framesSinceSync = 0;

    if (FrameEmit result = emitFrame(); result != FrameEmit::Ok) {
        if (result == FrameEmit::InvalidFrame) {
            setError("addVideoFrame: packet() returned < 0 (error in parms)");
            return;
        }
        // The table of contents must not point at a frame that is not there.
        if (recordPosition)
            m_framePositions.pop_back();
        setError("addVideoFrame: error writing output file");
        return;
    }

    if (m_audioFormat != kFourCCNone && m_videoFormat != kFourCCNone && bytesPerSecond() > 0) {
        double offsetMs =
            (audioSeconds(m_audioBytesConsumed) - double(m_videoFrameCount) / m_pacedFrameRate) *
            1000.0;
        if (std::isfinite(offsetMs))
            m_frame.syncOffset = int(std::clamp(offsetMs, double(INT_MIN), double(INT_MAX)));
    }
    m_frame.auxCount = 0;
}

void KmfEncoder::endAudio()
{
    m_audioEnded = true;
}

void KmfEncoder::finishAudio()
{
    m_audioEnded = true;
    if (m_errorText || !m_audioCoder || bytesPerSecond() <= 0)
        return;
    try {
        // The last frame's own target: sound past it has no picture to go
        // with, and a negative send-ahead keeps the sound behind to the end.
        const double endSeconds =
            double(m_videoFrameCount) / m_pacedFrameRate + m_audioSendAheadMs * 0.001;
        const double keepBytes =
            std::floor(endSeconds * bytesPerSecond()) - double(m_audioBytesConsumed);
        const size_t align = size_t(std::max(m_bitsPerSample / 8 * m_channels, 1));
        size_t keep = keepBytes > 0 ? size_t(std::min(keepBytes, double(m_audioQueue.size()))) : 0;
        m_audioQueue.resize(keep - keep % align);

        for (int tail = 0; tail < kEncoderMaxTailFrames && !m_errorText; ++tail) {
            if (m_audioQueue.empty() && (m_flushStarted ? !m_flushPending : !m_flushable))
                return;
            const int produced = drainAudio(std::numeric_limits<double>::infinity());
            if (produced == 0)
                return;
            ++m_videoFrameCount;
            finishFrame(0, 0, produced);
        }
    } catch (const std::bad_alloc&) {
        setError("addVideoFrame: out of memory");
    }
}

bool KmfEncoder::writeFinalHeader()
{
    m_header.fileSize = int32_t(uint32_t(m_filePosition - m_header.headerSize));
    m_header.lengthMs = truncatedMs(1000.0 / m_pacedFrameRate * double(m_framesWritten));
    if (m_header.tocSize != 0)
        m_header.toc = buildToc(m_framePositions, m_header.tocSize);
    m_writer.clear();
    m_header.serialise(m_writer, 0);
    m_writer.finish();
    m_header.toc.clear();
    return writeAll(m_output.fd(), m_writer.data(), m_writer.length(), 0) == m_writer.length();
}

std::optional<StreamStats> KmfEncoder::streamStats() const
{
    return m_stream ? std::optional<StreamStats>(m_stream->stats()) : m_closedStreamStats;
}

bool KmfEncoder::close(OutputEnd end)
{
    const char* failure = nullptr;
    if (m_output.isOpen()) {
        // What a failed open left is never anybody's result.
        if (end == OutputEnd::Keep && m_outputReady) {
            bool headerOk = true;
            if (fileHeaderOn() && m_placeholderWritten) {
                try {
                    headerOk = writeFinalHeader();
                } catch (const std::bad_alloc&) {
                    headerOk = false;
                }
            }
            if (headerOk) {
                failure = m_output.keep();
            } else {
                failure = "close: error writing output file";
                m_output.discard();
            }
        } else {
            m_output.discard();
        }
        m_placeholderWritten = false;
    }
    m_outputReady = false;
    // A stream that never got a frame because the set-up failed is dropped
    // without a word to the server; any other sends what still waits.
    if (m_stream && (!m_errorText || m_framesWritten > 0)) {
        m_stream->finish(m_streamFlushMs);
        m_closedStreamStats = m_stream->stats();
    }
    m_stream.reset();
    m_vidcoder.reset();
    m_audioCoder.reset();
    if (failure)
        setError(failure);
    return !failure;
}

} // namespace moxel
