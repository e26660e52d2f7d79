#include "pipeline/AudioResampler.h"

#include "pipeline/PcmSamples.h"

namespace moxel {
namespace {

using pcm::load16;
using pcm::store16;

int signed8(uint8_t v)
{
    return static_cast<int8_t>(v);
}

// Sample j of frame i, widened to 16 bits.
int wide(const uint8_t* in, int bits, int channels, size_t i, int j)
{
    if (bits == 16)
        return load16(in + (i * channels + j) * 2);
    return signed8(in[i * channels + j]) * 256;
}

// Two channels to one: 16-bit halves each side, 8-bit sums before widening.
int downmix(const uint8_t* in, int bits, size_t i)
{
    if (bits == 16)
        return load16(in + i * 4) / 2 + load16(in + i * 4 + 2) / 2;
    return (signed8(in[i * 2]) + signed8(in[i * 2 + 1])) * 128;
}

uint8_t* ensureBuffer(AudioResampler& r, size_t need, size_t grownSize)
{
    if (r.buffer.size() < need)
        r.buffer.assign(grownSize, 0);
    return r.buffer.data();
}

size_t convertEqualRates(AudioResampler& r, uint8_t* in, size_t frames, const uint8_t*& out)
{
    const int bits = r.inBits, inCh = r.inChannels, outCh = r.outChannels;
    if (inCh == 2 && outCh == 1) {
        for (size_t i = 0; i < frames; ++i)
            store16(in + i * 2, downmix(in, bits, i)); // never ahead of the frames still to read
        out = in;
        return frames * 2;
    }
    if (bits == 16 && !(inCh == 1 && outCh == 2)) {
        out = in;
        return frames * inCh * 2;
    }
    const int written = (inCh == 1 && outCh == 2) ? 2 : inCh;
    const size_t need = frames * written * 2;
    uint8_t* o = ensureBuffer(r, need, need);
    for (size_t i = 0; i < frames; ++i)
        for (int j = 0; j < written; ++j)
            store16(o + (i * written + j) * 2, wide(in, bits, inCh, i, written == inCh ? j : 0));
    out = o;
    return need;
}

} // namespace

AudioResampler createResampler(int inRate, int inChannels, int inBits, int outRate, int outChannels)
{
    AudioResampler r;
    r.inRate = inRate;
    r.inChannels = inChannels;
    r.inBits = inBits;
    r.outRate = outRate;
    r.outChannels = outChannels;
    return r;
}

size_t convertBlock(AudioResampler& r, uint8_t* input, size_t bytes, const uint8_t*& out)
{
    out = input;
    if (!input || bytes == 0 || (r.inBits != 8 && r.inBits != 16))
        return bytes & ~size_t{1};
    if (r.inChannels < 1 || r.outChannels < 1 || r.inRate < 1 || r.outRate < 1)
        return 0;
    const size_t frames = bytes / r.inChannels / (r.inBits / 8);
    if (r.inRate == r.outRate)
        return convertEqualRates(r, input, frames, out);

    r.inTotal += static_cast<int64_t>(frames);
    const auto target =
        static_cast<int64_t>(static_cast<__int128>(r.outRate) * r.inTotal / r.inRate);
    const int64_t n = target - r.outTotal;
    if (n <= 0)
        return 0;
    const size_t outBytes = static_cast<size_t>(n) * r.outChannels * 2;
    uint8_t* o = ensureBuffer(r, outBytes, outBytes * 2);
    const auto step = static_cast<uint64_t>((static_cast<unsigned __int128>(frames) << 32) /
                                            static_cast<uint64_t>(n));
    r.position = r.inRate > r.outRate ? (r.position & 0xFFFFFFFFu) : 0;
    r.outTotal += n;
    out = o;

    const int bits = r.inBits, inCh = r.inChannels, outCh = r.outChannels;
    if (inCh > 2 || outCh > 2)
        return 0; // not converted; the totals still advance
    for (int64_t k = 0; k < n; ++k, r.position += step) {
        size_t i = static_cast<size_t>(r.position >> 32);
        if (i >= frames)
            i = frames - 1; // unreachable with exact totals; keeps every read inside the block
        uint8_t* f = o + static_cast<size_t>(k) * outCh * 2;
        if (inCh == 2 && outCh == 1) {
            store16(f, downmix(input, bits, i));
        } else {
            for (int j = 0; j < outCh; ++j)
                store16(f + j * 2, wide(input, bits, inCh, i, inCh == 1 ? 0 : j));
        }
    }
    return outBytes;
}

} // namespace moxel
