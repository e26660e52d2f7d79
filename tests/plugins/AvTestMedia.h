// Test material for the codec plug-in: a moving picture pattern in the
// plug-in's input layout with its exact YUV 4:2:0 reference, a two-tone PCM
// signal, libavcodec decoders for what comes back, and the measurements
// (PSNR, tone frequency and level).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace moxel::test {

// Picture t of the pattern: width x height pixels of blue, green, red, unused,
// rows bottom-up. Moving waves, a moving square with hard edges, and a
// vertical ramp so a flipped picture cannot pass.
std::vector<uint8_t> patternPicture(int width, int height, int t);

struct YuvPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> y, u, v; // planes, top row first, no padding
};

// The pattern converted straight from its definition (BT.601, limited range).
YuvPicture patternReference(int width, int height, int t);

// The planes one after another, as planar pictures go to a coder.
std::vector<uint8_t> packedPlanes(const YuvPicture& picture);

// PSNR in dB over the three planes together.
double psnr(const YuvPicture& a, const YuvPicture& b);

// Decodes one packet per call; each packet must give one picture at once.
class VideoDecoder {
  public:
    explicit VideoDecoder(const char* decoderName);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // Pictures that came out of this packet (0 means the decoder held it back).
    int decode(const uint8_t* data, int size);
    const YuvPicture& picture() const { return m_picture; }
    bool pictureIsKey() const { return m_key; }
    // The colour matrix the stream names for the last picture (2: none).
    int colourMatrix() const { return m_matrix; }

  private:
    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    YuvPicture m_picture;
    bool m_key = false;
    int m_matrix = 2;
};

// Interleaved 16-bit PCM: channel c holds a sine of frequenciesHz[c] with
// peak amplitudes[c] (full scale 1.0), at sampleRate.
std::vector<uint8_t> toneSignal(int sampleRate, double seconds,
                                const std::vector<double>& frequenciesHz,
                                const std::vector<double>& amplitudes);

struct DecodedAudio {
    int sampleRate = 0;
    std::vector<std::vector<float>> channels;
    std::string error; // empty when the whole stream decoded
};

// Splits an elementary MP3 or ADTS stream with libavcodec's parser and decodes it.
DecodedAudio decodeAudioStream(const char* decoderName, const std::vector<uint8_t>& stream);

// Samples from the first to the last one louder than threshold (0 when none):
// the length of a sound between the silence a coder adds before and after it.
long loudSpan(const std::vector<float>& samples, float threshold = 0.05f);

struct ToneMeasure {
    double frequencyHz = 0;
    double peakAmplitude = 0; // from the RMS, as a sine's peak
};
// Frequency from zero crossings and level from RMS over [from, to) seconds.
ToneMeasure measureTone(const std::vector<float>& samples, int sampleRate, double from, double to);

} // namespace moxel::test
