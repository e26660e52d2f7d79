// An encoding profile loaded from any .pf file: the loader's ranges hold,
// and saving then loading again gives the same record (up to the decimals
// the file keeps).
#include "profiles/EncodingProfile.h"
#include "fuzz/FuzzTarget.h"
#include "fuzz/ScratchFolder.h"
#include "profiles/TextNumbers.h"

#include <cmath>

namespace {

using moxel::EncodingProfile;

void checkRanges(const EncodingProfile& p)
{
    MOXEL_FUZZ_CHECK(p.friendlyName.size() <= 254);
    MOXEL_FUZZ_CHECK(p.volumeScale >= 0.001 && std::isfinite(p.volumeScale));
    MOXEL_FUZZ_CHECK(p.outputFrameRate != 0.0 && std::isfinite(p.outputFrameRate));
    MOXEL_FUZZ_CHECK(p.outSampleRate != 0 && p.outChannels != 0 && p.resizeWidth != 0 &&
                     p.resizeHeight != 0);
}

bool sameInts(const EncodingProfile& a, const EncodingProfile& b)
{
    return a.outSampleRate == b.outSampleRate && a.outChannels == b.outChannels &&
           a.roundSizeTo16 == b.roundSizeTo16 && a.deinterlace == b.deinterlace &&
           a.filteredResize == b.filteredResize && a.resizeEnabled == b.resizeEnabled &&
           a.resizeWidth == b.resizeWidth && a.resizeHeight == b.resizeHeight &&
           a.cropL == b.cropL && a.cropT == b.cropT && a.cropR == b.cropR && a.cropB == b.cropB &&
           a.useOutputFrameRate == b.useOutputFrameRate && a.lowPassFilter == b.lowPassFilter;
}

// A real written with `decimals` decimals reads back within half a unit of
// the last one; values so large that their text passes the loader's length
// limit are not compared.
bool closeAfterSave(double before, double after, int decimals)
{
    if (std::fabs(before) >= 1e100)
        return true;
    return std::fabs(before - after) <=
           0.5000001 * std::pow(10.0, -decimals) * (1 + std::fabs(before) * 1e-12);
}

EncodingProfile loaded(const std::string& path)
{
    EncodingProfile p;
    p.filePath = path;
    p.load();
    checkRanges(p);
    return p;
}

void entry(const uint8_t* data, size_t size)
{
    static const std::string path = moxel::fuzz::scratchPath("profile.pf");
    moxel::fuzz::writeScratch(path, data, size);

    EncodingProfile first = loaded(path);
    MOXEL_FUZZ_CHECK(first.save());
    EncodingProfile second = loaded(path);
    // A frame rate that the file's 7 decimals write as 0 loads as all defaults.
    if (moxel::parseLeadingDouble(moxel::formatFixed(first.outputFrameRate, 7)) == 0.0)
        return;
    MOXEL_FUZZ_CHECK(sameInts(first, second));
    MOXEL_FUZZ_CHECK(closeAfterSave(first.volumeScale, second.volumeScale, 3));
    MOXEL_FUZZ_CHECK(closeAfterSave(first.outputFrameRate, second.outputFrameRate, 7));

    MOXEL_FUZZ_CHECK(second.save());
    EncodingProfile third = loaded(path);
    MOXEL_FUZZ_CHECK(sameInts(second, third) && second.friendlyName == third.friendlyName);
}

std::vector<std::string> seeds()
{
    return {
        "[kmfencpp]\r\nout_srate=44100\r\nout_channels=2\r\nsizefix=1\r\ndeinterlace=0\r\n"
        "filteringresize=1\r\ndoresize=0\r\nresizew=320\r\nresizeh=240\r\ncrop_l=0\r\n"
        "crop_t=0\r\ncrop_r=0\r\ncrop_b=0\r\noutfruse=0\r\nlowpass=0\r\n"
        "friendly_name=new profile\r\naudioscale=1.000\r\noutfror=30.0000000\r\n",
        "[kmfencpp]\nfriendly_name=abc\nresizew=12abc\naudioscale=0.0005\noutfror=29.97\n"
        "crop_l=4294967196\n[plugin]\nsecret=1\n",
        "[KMFENCPP]\nout_srate=0\nfriendly_name=  spaced  \noutfror=-1e3\naudioscale=2.5e30\n",
    };
}

} // namespace

MOXEL_FUZZ_TARGET(entry, seeds);
