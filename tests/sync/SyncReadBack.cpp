#include "SyncReadBack.h"

#include "container/FourCC.h"
#include "container/FrameRateCode.h"
#include "container/KmfReader.h"
#include "plugins/AvTestMedia.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <numeric>
#include <stdexcept>

namespace moxel::test {
namespace {

constexpr double kFlashLevel = 128.0; // between the dark grey and white pictures
constexpr float kBeepLevel = 0.2f;    // well below the beep, well above coder noise
constexpr double kQuietBeforeBeep = 0.5;
constexpr size_t kPcmHeaderBytes = 4; // bits, channels, rate low byte, rate high byte

const char* videoDecoderName(uint32_t format)
{
    if (format == makeFourCC("H264"))
        return "h264";
    if (format == makeFourCC("XVID"))
        return "mpeg4";
    if (format == makeFourCC("VP80"))
        return "vp8";
    return nullptr;
}

const char* audioDecoderName(uint32_t format)
{
    if (format == makeFourCC("MP3 "))
        return "mp3float";
    if (format == makeFourCC("AAC "))
        return "aac";
    return nullptr;
}

double meanOf(const std::vector<uint8_t>& bytes)
{
    if (bytes.empty())
        return 0.0;
    return double(std::accumulate(bytes.begin(), bytes.end(), uint64_t{0})) / double(bytes.size());
}

// Turns each frame's picture bytes into a brightness.
class PictureReader {
  public:
    explicit PictureReader(uint32_t format)
    {
        if (format != kFourCCRgb3 && format != kFourCCNone) {
            const char* name = videoDecoderName(format);
            if (name == nullptr)
                throw std::runtime_error("no decoder for video " + fourCCToString(format));
            m_decoder = std::make_unique<VideoDecoder>(name);
        }
    }

    double next(const std::vector<uint8_t>& payload)
    {
        if (payload.empty())
            return m_last; // the previous picture stays on screen
        if (!m_decoder)
            return m_last = meanOf(payload);
        const int pictures = m_decoder->decode(payload.data(), int(payload.size()));
        if (pictures < 0)
            throw std::runtime_error("a picture did not decode");
        if (pictures > 0)
            m_last = meanOf(m_decoder->picture().y);
        return m_last;
    }

  private:
    std::unique_ptr<VideoDecoder> m_decoder;
    double m_last = 0.0;
};

// Appends a "PCM " payload's first channel to out; its rate, or 0.
int appendPcm(const std::vector<uint8_t>& payload, std::vector<float>& out)
{
    if (payload.size() < kPcmHeaderBytes)
        return 0;
    const int channels = payload[1];
    const int rate = payload[2] | payload[3] << 8;
    if (payload[0] != 16 || channels < 1)
        throw std::runtime_error("PCM that is not 16-bit");
    const size_t frameBytes = size_t(channels) * 2;
    for (size_t at = kPcmHeaderBytes; at + frameBytes <= payload.size(); at += frameBytes) {
        int16_t sample;
        std::memcpy(&sample, &payload[at], 2); // little-endian host
        out.push_back(float(sample) / 32768.0f);
    }
    return rate;
}

} // namespace

SyncReadBack readBackKmf(const std::string& path)
{
    SyncReadBack r;
    KmfReader reader;
    if (!reader.openFile(path)) {
        r.error = reader.errorText();
        return r;
    }
    std::unique_ptr<PictureReader> pictures;
    std::vector<uint8_t> video, audio, coded;
    KmfFrameInfo frame;
    KmfReadStatus status;
    try {
        while ((status = reader.nextFrame(frame)) == KmfReadStatus::Ok) {
            if (!pictures) {
                if (!frame.isSync)
                    throw std::runtime_error("the first frame is not a sync frame");
                r.videoFormat = frame.videoFormat;
                r.audioFormat = frame.audioFormat;
                r.fps = decodeFrameRate(frame.frameRateCode);
                pictures = std::make_unique<PictureReader>(r.videoFormat);
            }
            if (!reader.readVideo(frame, video) || !reader.readAudio(frame, audio))
                throw std::runtime_error("a payload cannot be read");
            ++r.frames;
            if (r.videoFormat != kFourCCNone)
                r.brightness.push_back(pictures->next(video));
            if (r.audioFormat == kFourCCPcm) {
                const int rate = appendPcm(audio, r.sound);
                if (rate > 0)
                    r.sampleRate = rate;
            } else {
                coded.insert(coded.end(), audio.begin(), audio.end());
            }
        }
        if (status != KmfReadStatus::End)
            throw std::runtime_error(reader.errorText());
    } catch (const std::exception& e) {
        r.error = e.what();
        return r;
    }
    if (r.audioFormat != kFourCCPcm && r.audioFormat != kFourCCNone && !coded.empty()) {
        const char* name = audioDecoderName(r.audioFormat);
        if (name == nullptr) {
            r.error = "no decoder for audio " + fourCCToString(r.audioFormat);
            return r;
        }
        DecodedAudio decoded = decodeAudioStream(name, coded);
        r.error = decoded.error;
        r.sampleRate = decoded.sampleRate;
        if (!decoded.channels.empty())
            r.sound = std::move(decoded.channels[0]);
    }
    return r;
}

std::vector<double> flashTimes(const std::vector<double>& brightness, double fps)
{
    std::vector<double> times;
    bool bright = false;
    for (size_t i = 0; i < brightness.size(); ++i) {
        const bool now = brightness[i] > kFlashLevel;
        if (now && !bright)
            times.push_back(double(i) / fps);
        bright = now;
    }
    return times;
}

std::vector<double> beepTimes(const std::vector<float>& sound, int sampleRate)
{
    std::vector<double> times;
    const auto quiet = size_t(kQuietBeforeBeep * sampleRate);
    size_t lastLoud = 0;
    bool heard = false;
    for (size_t i = 0; i < sound.size(); ++i) {
        if (std::fabs(sound[i]) < kBeepLevel)
            continue;
        if (!heard || i - lastLoud >= quiet)
            times.push_back(double(i) / sampleRate);
        heard = true;
        lastLoud = i;
    }
    return times;
}

} // namespace moxel::test
