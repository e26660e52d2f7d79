#include "sources/DecoderSource.h"

#include "base/DiagnosticSink.h"
#include "pipeline/ProcessingValidation.h"
#include "pipeline/VideoProcessing.h"
#include "sources/FrameRateDetection.h"
#include "sources/PictureRotation.h"
#include "sources/PictureTiming.h"
#include "sources/SourceReport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <strings.h>
#include <system_error>

namespace moxel {
namespace {

// Silence for missing sound goes to the audio chain in pieces of at most
// this many sample frames, each waiting for room in the queue.
constexpr int64_t kSilencePieceFrames = 4096;

std::string withPath(const char* text, const std::string& path)
{
    return text + path;
}

} // namespace

DecoderSource::~DecoderSource()
{
    close();
}

bool DecoderSource::fail(const std::string& message)
{
    if (!message.empty())
        showError(message);
    close();
    return false;
}

bool DecoderSource::open(const std::string& sourcePath, const std::string& profilePath)
{
    close();
    beginOpen(profilePath);
    m_stopRequested = false;
    m_ignoreDrops = 0;
    m_videoEnded = m_audioEnded = false;
    m_haveOutput = false;
    m_reportedPictureChange = m_reportedUnsupportedAudio = false;

    const std::string openError =
        withPath("DirectShow: error opening input file/stream:\n", sourcePath);
    m_video = std::make_unique<StreamDecoder>(&m_stopRequested);
    const StreamDecoder::OpenResult video = m_video->open(sourcePath, AVMEDIA_TYPE_VIDEO);
    if (video == StreamDecoder::OpenResult::CannotOpenFile)
        return fail(openError);
    double rate = 15.0;
    if (video == StreamDecoder::OpenResult::Opened && m_video->codec()->width > 0 &&
        m_video->codec()->height > 0) {
        // The pictures as players show them: turned by the display rotation.
        m_pictures.prepare(m_video->codec()->width, m_video->codec()->height,
                           streamRotation(m_video->stream()));
        inWidth = m_pictures.width();
        inHeight = m_pictures.height();
        if (!detectFrameRate(sourcePath, rate))
            return fail(withPath(
                "DirectShow: error determining framerate. Use the preference option to assume "
                "a framerate.\nfile: ",
                sourcePath));
    } else {
        hasVideo = false;
        m_video.reset();
    }

    m_audio = std::make_unique<StreamDecoder>(&m_stopRequested);
    const StreamDecoder::OpenResult audio = m_audio->open(sourcePath, AVMEDIA_TYPE_AUDIO);
    if (audio == StreamDecoder::OpenResult::CannotOpenFile)
        return fail(openError);
    if (audio == StreamDecoder::OpenResult::Opened &&
        m_audioFrames.setFormat(audioFormatOf(m_audio->codec()))) {
        inRate = m_audioFrames.rate();
        inChannels = m_audioFrames.format().channels;
        inBits = m_audioFrames.decodedBits();
    } else {
        hasAudio = false;
        m_audio.reset();
    }

    if (!hasVideo && !hasAudio)
        return fail(
            withPath("DirectShow: error getting audio/video from stream.\nfile: ", sourcePath));
    durationSeconds = (m_video ? m_video : m_audio)->durationSeconds();
    // The sound's timeline starts with the pictures; without them, with the sound.
    m_soundTimeline.start(m_video ? m_video->startUs() : SoundTimeline::kUnknown, durationSeconds,
                          &counters, m_audio && m_audio->stampsMayRestart());

    std::string problem;
    if (hasAudio) {
        if (!validateAudioProcessing(profile, problem))
            return fail(problem);
        rebuildAudioChainLocked(); // no thread runs yet
    }

    inFrameRate = rate;
    frameRate = codedFrameRate(profile.useOutputFrameRate ? profile.outputFrameRate : inFrameRate,
                               kDshowDiagnostics);
    m_outFps = frameRate;

    if (hasVideo) {
        if (!chooseOutputSize(problem))
            return fail(problem);
        const size_t inBytes = size_t(inWidth) * inHeight * 4;
        if (!allocatePicture(m_outputPicture, size_t(outWidth) * outHeight * 4) ||
            !allocatePicture(m_conversionBuffer, inBytes) ||
            !allocatePicture(m_scratchBuffer, processingScratchBytes(inWidth, inHeight, profile)) ||
            !m_pictures.allocate())
            return fail(
                withPath("DirectShow: not enough memory for the pictures of this stream.\nfile: ",
                         sourcePath));
        m_frameRate = createPictureTiming(inFrameRate, frameRate, profile.useOutputFrameRate);
    }

    if (!startThreads())
        return fail(withPath("DirectShow: error playing stream.\nfile: ", sourcePath));
    m_opened = true;
    return true;
}

bool DecoderSource::detectFrameRate(const std::string& sourcePath, double& rate)
{
    const AVStream* stream = m_video->stream();
    rate = reportedFrameRate(stream);
    if (rate > 0.0) {
        emitDiagnosticf(kDshowDiagnostics, DiagnosticLevel::Info, "Dshow: reported input fps=%f",
                        rate);
    }
    // A container that counts no pictures reports the rate of its first
    // pictures (or a nominal one); when the timestamps show more pictures
    // than that, the rate comes from them, so that a variable-rate stream is
    // not thinned to the rate it starts with. Fewer pictures than reported
    // are gaps, which the frame decision makes up for.
    if (indexedFrameRate(stream) <= 0.0) {
        const double timed = timestampFrameRate(sourcePath, stream->index);
        if (timed > 0.0 && (rate <= 0.0 || timed > rate * 1.01)) {
            rate = timed;
            emitDiagnosticf(kDshowDiagnostics, DiagnosticLevel::Info,
                            "Dshow: input fps from timestamps=%f", rate);
        }
    }
    if (rate > 0.0) {
        rate = snapFrameRate(rate);
        return true;
    }
    rate = assumedFrameRate();
    return rate > 0.0;
}

bool DecoderSource::startThreads()
{
    try {
        if (m_video)
            m_videoThread = std::thread(carryDiagnosticSink([this] {
                runStream(*m_video, &DecoderSource::handlePicture, "video", m_videoLock,
                          m_videoChanged, m_videoEnded);
            }));
        if (m_audio)
            m_audioThread = std::thread(carryDiagnosticSink([this] {
                runStream(*m_audio, &DecoderSource::handleAudio, "audio", m_audioLock,
                          m_audioChanged, m_audioEnded);
            }));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void DecoderSource::stopThreads()
{
    m_stopRequested = true;
    // Taking each lock before notifying means no waiter can miss the flag.
    {
        std::lock_guard<std::mutex> lock(m_videoLock);
        m_videoChanged.notify_all();
    }
    {
        std::lock_guard<std::mutex> lock(m_audioLock);
        m_audioChanged.notify_all();
    }
    if (m_videoThread.joinable())
        m_videoThread.join();
    if (m_audioThread.joinable())
        m_audioThread.join();
}

int DecoderSource::close()
{
    stopThreads();
    if (m_opened) {
        reportSourceEnd(counters, kDshowDiagnostics, m_video.get(), m_audio.get(),
                        m_soundTimeline.originUs(), durationSeconds);
        m_opened = false;
    }
    m_video.reset();
    m_audio.reset();
    m_videoQueue.clear();
    m_pool.clear();
    m_audioQueue = {};
    m_audioReadPos = 0;
    m_chain = AudioChain{};
    m_silence = {};
    m_outputPicture = {};
    m_conversionBuffer = {};
    m_scratchBuffer = {};
    return 1;
}

int DecoderSource::setOption(const char* name, int value)
{
    if (name && strcasecmp(name, "ignore_drops") == 0) {
        m_ignoreDrops = value;
        return 0;
    }
    return 1;
}

int DecoderSource::setOption(const char* name, double value)
{
    if (name && strcasecmp(name, "fr_or") == 0) {
        frameRate = codedFrameRate(value, kDshowDiagnostics);
        m_outFps = frameRate;
        return 0;
    }
    return 1;
}

size_t DecoderSource::queuedPictures() const
{
    std::lock_guard<std::mutex> lock(m_videoLock);
    return m_videoQueue.size();
}

size_t DecoderSource::queuedAudioBytes() const
{
    std::lock_guard<std::mutex> lock(m_audioLock);
    return pendingAudioLocked();
}

size_t DecoderSource::audioBytesHeld() const
{
    std::lock_guard<std::mutex> lock(m_audioLock);
    return m_audioQueue.size();
}

// ---- decoding threads ----

void DecoderSource::runStream(StreamDecoder& decoder, void (DecoderSource::*handle)(const AVFrame*),
                              const char* streamName, std::mutex& lock,
                              std::condition_variable& changed, bool& ended)
{
    FramePtr frame(av_frame_alloc());
    while (frame && !m_stopRequested && decoder.next(frame.get())) {
        try {
            (this->*handle)(frame.get());
        } catch (const std::bad_alloc&) {
            emitDiagnosticf(kDshowDiagnostics, DiagnosticLevel::Error,
                            "Dshow: out of memory, the %s stream ends here", streamName);
            break;
        }
        av_frame_unref(frame.get());
    }
    // Damaged packets are counted by the decoder and told once, at the close.
    std::lock_guard<std::mutex> guard(lock);
    ended = true;
    changed.notify_all();
}

void DecoderSource::handlePicture(const AVFrame* frame)
{
    const AVRational base = m_video->stream()->time_base;
    const AVRational unit{1, 10000000};
    const int64_t timestamp = frame->best_effort_timestamp;
    std::optional<int64_t> start100ns;
    if (timestamp != AV_NOPTS_VALUE)
        start100ns = av_rescale_q_rnd(timestamp, base, unit, AV_ROUND_DOWN);
    m_frameRate.ignoreDrops = m_ignoreDrops.load();
    m_frameRate.outFps = m_outFps.load();
    // A changed output rate ("fr_or") is converted to like the profile's.
    m_frameRate.useOutputRate =
        profile.useOutputFrameRate || m_frameRate.outFps != m_frameRate.inFps;
    const FrameDecision decision =
        decidePicture(m_frameRate, start100ns,
                      av_rescale_q_rnd(m_video->startTime(), base, unit, AV_ROUND_DOWN), counters);
    if (decision.drop)
        return;

    {
        std::unique_lock<std::mutex> lock(m_videoLock);
        m_videoChanged.wait(
            lock, [this] { return m_stopRequested || m_videoQueue.size() < kMaxQueuedPictures; });
        if (m_stopRequested)
            return;
    }

    if (!m_pictures.convert(frame, m_conversionBuffer.data(), inWidth, inHeight))
        return;
    if (m_pictures.formatChanged() && !m_reportedPictureChange) {
        emitDiagnostic(kDshowDiagnostics, DiagnosticLevel::Info,
                       "Dshow: video media type changed!");
        m_reportedPictureChange = true;
    }
    Picture picture = takePooledPicture();
    processFrame(m_conversionBuffer.data(), picture.get(), inWidth, inHeight, outWidth, outHeight,
                 m_scratchBuffer.data(), profile);

    std::lock_guard<std::mutex> lock(m_videoLock);
    m_videoQueue.push_back(QueueEntry{decision.repeat, std::move(picture)});
    m_videoChanged.notify_all();
}

DecoderSource::Picture DecoderSource::takePooledPicture()
{
    {
        std::lock_guard<std::mutex> lock(m_poolLock);
        if (!m_pool.empty()) {
            Picture picture = std::move(m_pool.back());
            m_pool.pop_back();
            return picture;
        }
    }
    return Picture(new uint8_t[size_t(outWidth) * outHeight * 4]);
}

void DecoderSource::poolPicture(Picture picture)
{
    std::lock_guard<std::mutex> lock(m_poolLock);
    if (m_pool.size() < kMaxPooledPictures)
        m_pool.push_back(std::move(picture));
}

void DecoderSource::rebuildAudioChainLocked()
{
    m_chain.rebuild(m_audioFrames.rate(), m_audioFrames.chainChannels(), m_audioFrames.chainBits(),
                    profile);
}

void DecoderSource::handleAudio(const AVFrame* frame)
{
    const AudioFormatKey format = audioFormatOf(frame);
    if (!(format == m_audioFrames.format())) {
        // Applies from this frame on, which is the first of the new format.
        const bool supported = m_audioFrames.setFormat(format);
        emitDiagnosticf(kDshowDiagnostics, DiagnosticLevel::Info,
                        "Dshow: audio media type changed (%ibit*%ich@%ihz)",
                        m_audioFrames.decodedBits(), format.channels, format.sampleRate);
        if (supported) {
            std::lock_guard<std::mutex> lock(m_audioLock);
            rebuildAudioChainLocked();
        }
    }
    if (!m_audioFrames.supported()) {
        if (!m_reportedUnsupportedAudio)
            emitDiagnostic(kDshowDiagnostics, DiagnosticLevel::Warning,
                           "Dshow: audio format cannot be converted, its samples are skipped");
        m_reportedUnsupportedAudio = true;
        return;
    }

    size_t bytes = 0;
    uint8_t* block = m_audioFrames.convert(frame, bytes);
    if (bytes == 0)
        return;

    const size_t frameBytes =
        size_t(m_audioFrames.chainChannels()) * size_t(m_audioFrames.chainBits() / 8);
    const AVRational base = m_audio->stream()->time_base;
    const SoundTimeline::Placement placement = m_soundTimeline.place(
        SoundTimeline::microseconds(frame->best_effort_timestamp, base.num, base.den),
        int64_t(bytes / frameBytes), m_audioFrames.rate());
    for (int64_t left = placement.silenceFrames; left > 0;) {
        const int64_t piece = std::min(left, kSilencePieceFrames);
        m_silence.assign(size_t(piece) * frameBytes, 0); // the chain filters it in place
        if (!queueAudio(m_silence.data(), m_silence.size()))
            return;
        left -= piece;
    }
    const size_t skip = size_t(placement.skipFrames) * frameBytes;
    if (skip < bytes)
        queueAudio(block + skip, bytes - skip);
}

bool DecoderSource::queueAudio(uint8_t* block, size_t bytes)
{
    std::unique_lock<std::mutex> lock(m_audioLock);
    m_audioChanged.wait(
        lock, [this] { return m_stopRequested || pendingAudioLocked() < kMaxQueuedAudioBytes; });
    if (m_stopRequested)
        return false;
    const uint8_t* converted = nullptr;
    const size_t convertedBytes = m_chain.process(block, bytes, converted);
    if (convertedBytes == 0)
        return true;
    m_audioQueue.insert(m_audioQueue.end(), converted, converted + convertedBytes);
    m_audioChanged.notify_all();
    return true;
}

// ---- worker thread ----

int DecoderSource::getVideoFrame(const uint8_t** picture)
{
    if (picture)
        *picture = nullptr;
    if (!hasVideo || !picture)
        return 0;
    Picture finished;
    {
        std::unique_lock<std::mutex> lock(m_videoLock);
        m_videoChanged.wait(
            lock, [this] { return !m_videoQueue.empty() || m_videoEnded || m_stopRequested; });
        if (m_videoQueue.empty())
            return 0;
        QueueEntry& entry = m_videoQueue.front();
        QueuedPicture queued{entry.repeat, entry.picture.get()};
        if (readQueuedPicture(queued, m_outputPicture.data(), m_outputPicture.size(),
                              m_haveOutput)) {
            finished = std::move(entry.picture);
            m_videoQueue.pop_front();
            m_videoChanged.notify_all();
        } else {
            entry.repeat = queued.repeat;
        }
    }
    if (finished)
        poolPicture(std::move(finished));
    *picture = m_outputPicture.data();
    return 1;
}

int DecoderSource::getAudio(uint8_t* buffer, int maxBytes, int* length)
{
    if (length)
        *length = 0;
    if (!hasAudio || !buffer || !length || maxBytes <= 0)
        return 0;
    std::unique_lock<std::mutex> lock(m_audioLock);
    auto whole = [this] { return pendingAudioLocked() & ~size_t{3}; };
    m_audioChanged.wait(lock, [&] { return whole() > 0 || m_audioEnded || m_stopRequested; });
    const size_t take = std::min(whole(), size_t(maxBytes) & ~size_t{3});
    if (take == 0)
        return 0;
    std::memcpy(buffer, m_audioQueue.data() + m_audioReadPos, take);
    m_audioReadPos += take;
    // Compact once the bytes read are at least half the queue: each byte is
    // moved at most once on average, and the queue stays below twice what
    // is pending, so within twice its limit.
    if (m_audioReadPos * 2 >= m_audioQueue.size()) {
        m_audioQueue.erase(m_audioQueue.begin(),
                           m_audioQueue.begin() + std::ptrdiff_t(m_audioReadPos));
        m_audioReadPos = 0;
    }
    m_audioChanged.notify_all();
    *length = int(take);
    return 1;
}

} // namespace moxel
