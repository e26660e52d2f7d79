#include "pipeline/AudioFilter.h"

#include "pipeline/PcmSamples.h"
#include "profiles/EncodingProfile.h"

#include <cmath>

namespace moxel {
namespace {

int16_t clampToSample(double y)
{
    if (y >= 32767.0)
        return 32767;
    if (y <= -32768.0)
        return -32768;
    return static_cast<int16_t>(y); // truncation toward zero
}

} // namespace

AudioFilter createAudioFilter(int inRate, int inChannels, int inBits,
                              const EncodingProfile& profile)
{
    AudioFilter f;
    f.channels = inChannels;
    f.bits = inBits;
    f.scale = profile.volumeScale;
    f.scaleOn = (f.scale >= 0.99999999 && f.scale <= 1.00000001) ? 0 : 1;
    if (profile.lowPassFilter != 0 && profile.outSampleRate < inRate) {
        const double w = profile.outSampleRate * 0.5 * 3.14159265359 / inRate;
        const double c = 1.0 / std::tan(w);
        const double a = 1.0 / (c * c + c + 1.0);
        AudioFilterState& s = f.coef[0];
        s.a = static_cast<float>(a);
        s.b1 = static_cast<float>(2.0 * (1.0 - c * c) * a);
        s.b2 = static_cast<float>((c * c - c + 1.0) * a);
        s.w1 = s.w2 = 0.0f;
        f.coef[1] = f.coef[0];
        f.lowpassOn = 1;
    }
    return f;
}

void filterBlock(AudioFilter& filter, uint8_t* samples, size_t bytes)
{
    if (filter.bits != 16 || !(filter.lowpassOn || filter.scaleOn) || !samples)
        return;
    const size_t count = bytes / 2;
    const double scale = filter.scale;
    if (!filter.lowpassOn || (filter.channels != 1 && filter.channels != 2)) {
        if (!filter.scaleOn)
            return;
        for (size_t i = 0; i < count; ++i)
            pcm::store16(samples + i * 2, clampToSample(pcm::load16(samples + i * 2) * scale));
        return;
    }
    const size_t mask = static_cast<size_t>(filter.channels - 1);
    for (size_t i = 0; i < count; ++i) {
        AudioFilterState& s = filter.coef[i & mask];
        const double x = pcm::load16(samples + i * 2);
        const double w1 = s.w1, w2 = s.w2;
        const double w = double{s.a} * x - double{s.b1} * w1 - double{s.b2} * w2;
        const double y = (2.0 * w1 + w + w2) * scale;
        s.w2 = s.w1;
        s.w1 = static_cast<float>(w);
        pcm::store16(samples + i * 2, clampToSample(y));
    }
}

} // namespace moxel
