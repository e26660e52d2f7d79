#include "sources/MovieSource.h"

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

namespace moxel {
namespace {

char printable(uint32_t c)
{
    return c >= 32 && c < 127 ? char(c) : '?';
}

} // namespace

MovieSource::~MovieSource()
{
    close();
}

bool MovieSource::fail()
{
    close();
    return false;
}

bool MovieSource::open(const std::string& sourcePath, const std::string& profilePath)
{
    close();
    beginOpen(profilePath);
    m_havePending = m_haveOutput = false;
    m_pendingRepeat = 0;

    m_video = std::make_unique<StreamDecoder>();
    const StreamDecoder::OpenResult video = m_video->open(sourcePath, AVMEDIA_TYPE_VIDEO);
    if (video == StreamDecoder::OpenResult::CannotOpenFile) {
        emitDiagnostic(kQtDiagnostics, DiagnosticLevel::Error,
                       "QT: Error opening movie! Wrong filename?");
        return fail();
    }
    m_sample.reset(av_frame_alloc());
    if (!m_sample)
        return fail();
    if (video == StreamDecoder::OpenResult::Opened && m_video->codec()->width > 0 &&
        m_video->codec()->height > 0) {
        // The pictures as players show them: turned by the display rotation.
        m_pictures.prepare(m_video->codec()->width, m_video->codec()->height,
                           streamRotation(m_video->stream()));
        inWidth = m_pictures.width();
        inHeight = m_pictures.height();
    } else {
        // A movie of sound only converts like any sound file (to its end),
        // rather than ending the job at the first picture asked for.
        m_video.reset();
        hasVideo = false;
    }

    openSound(sourcePath);
    if (!hasVideo && !hasAudio) {
        emitDiagnostic(kQtDiagnostics, DiagnosticLevel::Error,
                       "QT: Error opening movie! No pictures and no sound in it");
        return fail();
    }
    if (m_video)
        durationSeconds = m_video->durationSeconds();
    else if (m_audio)
        durationSeconds = m_audio->durationSeconds();

    std::string problem;
    if (hasAudio && !validateAudioProcessing(profile, problem)) {
        showError(problem);
        return fail();
    }
    if (m_video) {
        if (!chooseOutputSize(problem)) {
            showError(problem);
            return fail();
        }
        const size_t inBytes = size_t(inWidth) * inHeight * 4;
        if (!allocatePicture(m_renderBuffer, inBytes) ||
            !allocatePicture(m_scratchBuffer, processingScratchBytes(inWidth, inHeight, profile)) ||
            !allocatePicture(m_outputPicture, size_t(outWidth) * outHeight * 4) ||
            !m_pictures.allocate()) {
            emitDiagnostic(kQtDiagnostics, DiagnosticLevel::Error, "QT: Error creating world!");
            return fail();
        }
    }

    // The frame rate of the whole video track (15 without pictures, as for
    // any sound file).
    double rate = hasVideo ? trackFrameRate() : 15.0;
    if (rate < 0.0001) {
        rate = assumedFrameRate();
        if (rate <= 0.0) {
            emitDiagnostic(kQtDiagnostics, DiagnosticLevel::Error,
                           "QT: Error determining framerate");
            showError("Movie: error determining framerate. Use the preference option to assume a "
                      "framerate.\nfile: " +
                      sourcePath);
            return fail();
        }
    }
    inFrameRate = rate;
    frameRate = codedFrameRate(profile.useOutputFrameRate ? profile.outputFrameRate : inFrameRate,
                               kQtDiagnostics);
    m_frameRate = createPictureTiming(inFrameRate, frameRate, profile.useOutputFrameRate);
    if (hasAudio)
        rebuildAudioChain();
    // The sound's timeline starts with the pictures; without them, with the sound.
    m_soundTimeline.start(m_video ? m_video->startUs() : SoundTimeline::kUnknown, durationSeconds,
                          &counters);
    m_opened = true;
    return true;
}

void MovieSource::openSound(const std::string& sourcePath)
{
    hasAudio = false;
    m_audio = std::make_unique<StreamDecoder>();
    const StreamDecoder::OpenResult sound = m_audio->open(sourcePath, AVMEDIA_TYPE_AUDIO);
    if (sound == StreamDecoder::OpenResult::NoStream ||
        sound == StreamDecoder::OpenResult::CannotOpenFile) {
        emitDiagnostic(kQtDiagnostics, DiagnosticLevel::Warning,
                       "QT: Error getting audio track, no audio");
        m_audio.reset();
        return;
    }
    if (sound == StreamDecoder::OpenResult::Opened) {
        const uint32_t tag = m_audio->stream()->codecpar->codec_tag;
        emitDiagnosticf(kQtDiagnostics, DiagnosticLevel::Info, "QT audio format=%c%c%c%c",
                        printable(tag & 0xFF), printable((tag >> 8) & 0xFF),
                        printable((tag >> 16) & 0xFF), printable(tag >> 24));
    }
    m_soundFrame.reset(av_frame_alloc());
    if (sound != StreamDecoder::OpenResult::Opened || !m_soundFrame ||
        !m_audioFrames.setFormat(audioFormatOf(m_audio->codec()))) {
        emitDiagnostic(kQtDiagnostics, DiagnosticLevel::Error, "QT: Error creating soundConverter");
        m_audio.reset();
        return;
    }
    inRate = m_audioFrames.rate();
    inChannels = m_audioFrames.format().channels;
    inBits = m_audioFrames.decodedBits();
    hasAudio = true;
}

int MovieSource::close()
{
    if (m_opened) {
        reportSourceEnd(counters, kQtDiagnostics, m_video.get(), m_audio.get(),
                        m_soundTimeline.originUs(), durationSeconds);
        m_opened = false;
    }
    m_video.reset();
    m_audio.reset();
    m_sample.reset();
    m_soundFrame.reset();
    m_havePending = m_haveOutput = false;
    m_renderBuffer = {};
    m_scratchBuffer = {};
    m_outputPicture = {};
    m_chain = AudioChain{};
    m_chunkRest = m_chunk = nullptr;
    m_chunkRestBytes = m_chunkBytes = 0;
    m_pending = nullptr;
    m_pendingBytes = 0;
    m_silenceFrames = 0;
    m_silence = {};
    return 1;
}

int MovieSource::setOption(const char*, int)
{
    return 0;
}
int MovieSource::setOption(const char*, double)
{
    return 0;
}

double MovieSource::trackFrameRate() const
{
    const double indexed = indexedFrameRate(m_video->stream());
    return indexed > 0.0 ? indexed : reportedFrameRate(m_video->stream());
}

bool MovieSource::readVideoSample()
{
    av_frame_unref(m_sample.get());
    if (!m_video || !m_video->next(m_sample.get()))
        return false; // the end of the video (the decoder stays for close)
    return true;
}

void MovieSource::renderSample()
{
    // Rendered bottom-up directly, which is the render and the row reversal in one.
    if (!m_pictures.convert(m_sample.get(), m_renderBuffer.data(), inWidth, inHeight))
        std::memset(m_renderBuffer.data(), 0, m_renderBuffer.size());
    processFrame(m_renderBuffer.data(), m_outputPicture.data(), inWidth, inHeight, outWidth,
                 outHeight, m_scratchBuffer.data(), profile);
    m_haveOutput = true;
}

int MovieSource::getVideoFrame(const uint8_t** picture)
{
    if (picture)
        *picture = nullptr;
    if (!hasVideo || !picture || m_outputPicture.empty())
        return 0;
    const AVRational base = m_video ? m_video->stream()->time_base : AVRational{1, 1};
    const AVRational unit{1, 10000000};
    while (!m_havePending) {
        if (!readVideoSample())
            return 0;
        const int64_t stamp = m_sample->best_effort_timestamp;
        std::optional<int64_t> start100ns;
        if (stamp != AV_NOPTS_VALUE)
            start100ns = av_rescale_q_rnd(stamp - m_video->startTime(), base, unit, AV_ROUND_DOWN);
        const FrameDecision decision = decidePicture(m_frameRate, start100ns, 0, counters);
        if (!decision.drop) {
            m_havePending = true;
            m_pendingRepeat = decision.repeat;
        }
    }
    if (m_pendingRepeat > 0) {
        // The picture shown last once more (the sample itself when nothing
        // has been shown yet).
        --m_pendingRepeat;
        if (!m_haveOutput)
            renderSample();
    } else {
        renderSample();
        m_havePending = false;
    }
    *picture = m_outputPicture.data();
    return 1;
}

void MovieSource::rebuildAudioChain()
{
    m_chain.rebuild(m_audioFrames.rate(), m_audioFrames.chainChannels(), m_audioFrames.chainBits(),
                    profile);
}

MovieSource::ChunkResult MovieSource::decodeSoundFrame()
{
    if (!m_audio || !m_audio->next(m_soundFrame.get()))
        return ChunkResult::End;
    const AudioFormatKey format = audioFormatOf(m_soundFrame.get());
    if (!(format == m_audioFrames.format())) {
        if (!m_audioFrames.setFormat(format)) {
            emitDiagnostic(kQtDiagnostics, DiagnosticLevel::Error, "QT: error calling SCCB");
            av_frame_unref(m_soundFrame.get());
            return ChunkResult::Skipped;
        }
        rebuildAudioChain();
    }
    m_chunkRest = m_audioFrames.convert(m_soundFrame.get(), m_chunkRestBytes);
    const int64_t stamp = m_soundFrame->best_effort_timestamp;
    av_frame_unref(m_soundFrame.get());
    if (m_chunkRestBytes == 0) {
        emitDiagnostic(kQtDiagnostics, DiagnosticLevel::Error, "QT: error calling SCCB");
        return ChunkResult::Skipped;
    }
    const size_t frameBytes =
        size_t(m_audioFrames.chainChannels()) * size_t(m_audioFrames.chainBits() / 8);
    const AVRational base = m_audio->stream()->time_base;
    const SoundTimeline::Placement placement =
        m_soundTimeline.place(SoundTimeline::microseconds(stamp, base.num, base.den),
                              int64_t(m_chunkRestBytes / frameBytes), m_audioFrames.rate());
    m_silenceFrames = placement.silenceFrames;
    const size_t skip = std::min(m_chunkRestBytes, size_t(placement.skipFrames) * frameBytes);
    m_chunkRest += skip;
    m_chunkRestBytes -= skip;
    return m_chunkRestBytes > 0 || m_silenceFrames > 0 ? ChunkResult::Data : ChunkResult::Skipped;
}

MovieSource::ChunkResult MovieSource::readSoundChunk()
{
    m_chunk = nullptr;
    m_chunkBytes = 0;
    if (m_chunkRestBytes == 0 && m_silenceFrames == 0) {
        const ChunkResult decoded = decodeSoundFrame();
        if (decoded != ChunkResult::Data)
            return decoded;
    }
    // At most kMaxChunkBytes at a time, in whole sample frames.
    const size_t frameBytes =
        size_t(m_audioFrames.chainChannels()) * (m_audioFrames.chainBits() / 8);
    if (m_silenceFrames > 0) {
        // Missing sound before this frame, in parts of the same bound.
        const int64_t part =
            std::min(m_silenceFrames, int64_t(kMaxChunkBytes / std::max<size_t>(1, frameBytes)));
        m_silence.assign(size_t(part) * frameBytes, 0); // the chain filters it in place
        m_silenceFrames -= part;
        m_chunk = m_silence.data();
        m_chunkBytes = m_silence.size();
        return ChunkResult::Data;
    }
    size_t part = std::min(m_chunkRestBytes, kMaxChunkBytes);
    if (part < m_chunkRestBytes)
        part -= part % frameBytes;
    m_chunk = m_chunkRest;
    m_chunkBytes = part;
    m_chunkRest += part;
    m_chunkRestBytes -= part;
    return ChunkResult::Data;
}

int MovieSource::getAudio(uint8_t* buffer, int maxBytes, int* length)
{
    if (length)
        *length = 0;
    if (!hasAudio || !buffer || !length || maxBytes <= 0)
        return 0;
    const size_t frameBytes = size_t(profile.outChannels) * 2;
    const size_t maximum = size_t(maxBytes) - size_t(maxBytes) % frameBytes;
    // Chunks that cannot be converted, or convert to nothing (a short one
    // while downsampling), are passed over, so that 0 means the end.
    while (m_pendingBytes == 0) {
        const ChunkResult chunk = readSoundChunk();
        if (chunk == ChunkResult::End)
            return 0;
        if (chunk == ChunkResult::Data)
            m_pendingBytes = m_chain.process(m_chunk, m_chunkBytes, m_pending);
    }
    const size_t take = std::min(maximum, m_pendingBytes);
    if (take == 0)
        return 0;
    std::memcpy(buffer, m_pending, take);
    m_pending += take;
    m_pendingBytes -= take;
    *length = int(take);
    return 1;
}

} // namespace moxel
