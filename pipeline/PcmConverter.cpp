#include "pipeline/PcmConverter.h"

#include "pipeline/PcmSamples.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace moxel {
namespace {

// Speaker position bits, as WAVE and FFmpeg number them.
enum : uint64_t {
    kFrontLeft = 0x1,
    kFrontRight = 0x2,
    kFrontCenter = 0x4,
    kLowFrequency = 0x8,
    kBackLeft = 0x10,
    kBackRight = 0x20,
    kFrontLeftOfCenter = 0x40,
    kFrontRightOfCenter = 0x80,
    kBackCenter = 0x100,
    kSideLeft = 0x200,
    kSideRight = 0x400,
    kTopCenter = 0x800,
    kTopFrontLeft = 0x1000,
    kTopFrontCenter = 0x2000,
    kTopFrontRight = 0x4000,
    kTopBackLeft = 0x8000,
    kTopBackCenter = 0x10000,
    kTopBackRight = 0x20000,
};

constexpr double kSide = 0.70710678118654752; // -3 dB

uint64_t usualMask(int channels)
{
    switch (channels) {
    case 3:
        return kFrontLeft | kFrontRight | kFrontCenter;
    case 4:
        return kFrontLeft | kFrontRight | kBackLeft | kBackRight;
    case 5:
        return kFrontLeft | kFrontRight | kFrontCenter | kBackLeft | kBackRight;
    case 6:
        return kFrontLeft | kFrontRight | kFrontCenter | kLowFrequency | kBackLeft | kBackRight;
    case 7:
        return kFrontLeft | kFrontRight | kFrontCenter | kLowFrequency | kBackCenter | kSideLeft |
               kSideRight;
    case 8:
        return kFrontLeft | kFrontRight | kFrontCenter | kLowFrequency | kBackLeft | kBackRight |
               kSideLeft | kSideRight;
    default:
        return 0;
    }
}

// (left, right) weights of one speaker position; unknown positions alternate.
void speakerWeights(uint64_t bit, int index, double& left, double& right)
{
    left = right = 0.0;
    switch (bit) {
    case kFrontLeft:
    case kFrontLeftOfCenter:
        left = 1.0;
        break;
    case kFrontRight:
    case kFrontRightOfCenter:
        right = 1.0;
        break;
    case kLowFrequency:
        break;
    case kFrontCenter:
    case kBackCenter:
    case kTopCenter:
    case kTopFrontCenter:
    case kTopBackCenter:
        left = right = kSide;
        break;
    case kBackLeft:
    case kSideLeft:
    case kTopFrontLeft:
    case kTopBackLeft:
        left = kSide;
        break;
    case kBackRight:
    case kSideRight:
    case kTopFrontRight:
    case kTopBackRight:
        right = kSide;
        break;
    default:
        (index % 2 == 0 ? left : right) = kSide;
        break;
    }
}

int16_t clamp16(double v)
{
    const double r = std::nearbyint(v);
    return static_cast<int16_t>(std::clamp(r, -32768.0, 32767.0));
}

} // namespace

PcmConverter::PcmConverter(const PcmFormat& format) : m_format(format)
{
    const bool intWidth = !format.isFloat && (format.bits == 8 || format.bits == 16 ||
                                              format.bits == 24 || format.bits == 32);
    const bool floatWidth = format.isFloat && (format.bits == 32 || format.bits == 64);
    m_supported = format.channels >= 1 && (intWidth || floatWidth);
    if (!m_supported)
        return;
    m_bytesPerSample = format.bits / 8;
    const bool chainWidth = !format.isFloat && (format.bits == 8 || format.bits == 16);
    m_downmix = format.channels > 2;
    m_passThrough = chainWidth && !m_downmix;
    m_outChannels = std::min(format.channels, 2);
    m_outBits = m_passThrough ? format.bits : 16;
    if (!m_downmix)
        return;

    uint64_t mask = format.channelMask ? format.channelMask : usualMask(format.channels);
    m_leftWeight.assign(format.channels, 0.0);
    m_rightWeight.assign(format.channels, 0.0);
    double sumLeft = 0.0, sumRight = 0.0;
    for (int ch = 0; ch < format.channels; ++ch) {
        const uint64_t bit =
            mask & (~mask + 1); // lowest remaining position; 0 when the mask runs out
        mask &= mask - 1;
        speakerWeights(bit, ch, m_leftWeight[ch], m_rightWeight[ch]);
        sumLeft += m_leftWeight[ch];
        sumRight += m_rightWeight[ch];
    }
    // Scale so that full-scale input on every channel cannot clip.
    const double norm = 1.0 / std::max({sumLeft, sumRight, 1.0});
    for (int ch = 0; ch < format.channels; ++ch) {
        m_leftWeight[ch] *= norm;
        m_rightWeight[ch] *= norm;
    }
}

double PcmConverter::sample(const uint8_t* p) const
{
    switch (m_format.bits) {
    case 8:
        return (p[0] - 128) * 256.0;
    case 16:
        return pcm::load16(p);
    case 24:
        return truncatedSample(p) + (p[0] / 256.0);
    case 32:
        if (m_format.isFloat) {
            float f;
            std::memcpy(&f, p, 4);
            return std::isfinite(f) ? f * 32768.0 : 0.0;
        }
        return static_cast<int32_t>(static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16) |
                                                          (uint32_t{p[3]} << 24))) /
               65536.0;
    default: {
        double d;
        std::memcpy(&d, p, 8);
        return std::isfinite(d) ? d * 32768.0 : 0.0;
    }
    }
}

// The top 16 bits of an integer sample (24 or 32 bits).
int PcmConverter::truncatedSample(const uint8_t* p) const
{
    const int hi = static_cast<int8_t>(p[m_bytesPerSample - 1]);
    return hi * 256 + p[m_bytesPerSample - 2];
}

size_t PcmConverter::convert(const uint8_t* in, size_t bytes, const uint8_t*& out)
{
    out = in;
    if (!m_supported || !in)
        return 0;
    const size_t frameBytes = static_cast<size_t>(m_bytesPerSample) * m_format.channels;
    const size_t frames = bytes / frameBytes;
    if (m_passThrough)
        return frames * frameBytes;
    const size_t outBytes = frames * m_outChannels * 2;
    if (m_buffer.size() < outBytes)
        m_buffer.resize(outBytes);
    uint8_t* o = m_buffer.data();
    const bool integerWide = !m_format.isFloat && m_format.bits > 16;
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t* f = in + i * frameBytes;
        if (!m_downmix) {
            for (int ch = 0; ch < m_outChannels; ++ch) {
                const uint8_t* p = f + ch * m_bytesPerSample;
                pcm::store16(o + (i * m_outChannels + ch) * 2,
                             integerWide ? truncatedSample(p) : clamp16(sample(p)));
            }
            continue;
        }
        double left = 0.0, right = 0.0;
        for (int ch = 0; ch < m_format.channels; ++ch) {
            const double v = sample(f + ch * m_bytesPerSample);
            left += v * m_leftWeight[ch];
            right += v * m_rightWeight[ch];
        }
        pcm::store16(o + i * 4, clamp16(left));
        pcm::store16(o + i * 4 + 2, clamp16(right));
    }
    out = o;
    return outBytes;
}

} // namespace moxel
