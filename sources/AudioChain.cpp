#include "sources/AudioChain.h"

#include "profiles/EncodingProfile.h"

namespace moxel {

void AudioChain::rebuild(int rate, int channels, int bits, const EncodingProfile& profile)
{
    filter = createAudioFilter(rate, channels, bits, profile);
    resampler = createResampler(rate, channels, bits, profile.outSampleRate, profile.outChannels);
}

size_t AudioChain::process(uint8_t* block, size_t bytes, const uint8_t*& out)
{
    filterBlock(filter, block, bytes);
    return convertBlock(resampler, block, bytes, out);
}

} // namespace moxel
