#include "profiles/EncodingProfile.h"

#include "profiles/IniFile.h"
#include "profiles/TextNumbers.h"

#include <cmath>
#include <limits>

namespace moxel {

namespace {

const char* const kSection = "kmfencpp";
const char* const kNameKey = "friendly_name";
constexpr size_t kNameMaxChars = 254;
constexpr size_t kRealMaxChars = 126;

// The deinterlace mode has mode set instead of field and is stored as its number.
struct IntKey {
    const char* name;
    int EncodingProfile::*field;
    int defaultValue;
    Deinterlace EncodingProfile::*mode = nullptr;
};

// In the order of the file: load reads and save writes them in this order.
const IntKey kIntKeys[] = {
    {"out_srate", &EncodingProfile::outSampleRate, 44100},
    {"out_channels", &EncodingProfile::outChannels, 2},
    {"sizefix", &EncodingProfile::roundSizeTo16, 1},
    {"deinterlace", nullptr, 0, &EncodingProfile::deinterlace},
    {"filteringresize", &EncodingProfile::filteredResize, 1},
    {"doresize", &EncodingProfile::resizeEnabled, 0},
    {"resizew", &EncodingProfile::resizeWidth, 320},
    {"resizeh", &EncodingProfile::resizeHeight, 240},
    {"crop_l", &EncodingProfile::cropL, 0},
    {"crop_t", &EncodingProfile::cropT, 0},
    {"crop_r", &EncodingProfile::cropR, 0},
    {"crop_b", &EncodingProfile::cropB, 0},
    {"outfruse", &EncodingProfile::useOutputFrameRate, 0},
    {"lowpass", &EncodingProfile::lowPassFilter, 0},
};

struct RealKey {
    const char* name;
    double EncodingProfile::*field;
    double defaultValue;
    const char* defaultText; // what an absent key reads as
    int decimals;            // written with "%.<decimals>f"
    double minimum;          // a value read below it becomes defaultValue
};

// Written after friendly_name, in this order.
const RealKey kRealKeys[] = {
    {"audioscale", &EncodingProfile::volumeScale, 1.0, "1.0", 3, 0.001},
    {"outfror", &EncodingProfile::outputFrameRate, 30.0, "30.0", 7,
     -std::numeric_limits<double>::infinity()},
};

int intValue(const EncodingProfile& p, const IntKey& key)
{
    return key.mode ? static_cast<int>(p.*key.mode) : p.*key.field;
}

// Any number, also one outside Deinterlace's, is kept as it is.
void setIntValue(EncodingProfile& p, const IntKey& key, int value)
{
    if (key.mode)
        p.*key.mode = static_cast<Deinterlace>(value);
    else
        p.*key.field = value;
}

// A record with any of these at zero cannot be processed.
bool hasZeroEssential(const EncodingProfile& p)
{
    return p.outSampleRate == 0 || p.outChannels == 0 || p.resizeWidth == 0 ||
           p.resizeHeight == 0 || p.outputFrameRate == 0.0;
}

} // namespace

void EncodingProfile::resetToDefaults()
{
    for (const IntKey& key : kIntKeys)
        setIntValue(*this, key, key.defaultValue);
    for (const RealKey& key : kRealKeys)
        this->*key.field = key.defaultValue;
}

void EncodingProfile::load()
{
    resetToDefaults();
    IniFile file = IniFile::load(filePath);
    for (const IntKey& key : kIntKeys)
        setIntValue(*this, key, file.getInt(kSection, key.name, intValue(*this, key)));
    friendlyName = file.getString(kSection, kNameKey, "error", kNameMaxChars);
    for (const RealKey& key : kRealKeys) {
        double value =
            parseLeadingDouble(file.getString(kSection, key.name, key.defaultText, kRealMaxChars));
        // Written as "not at least" so that a NaN can never pass the minimum.
        // A number too large for a double reads as the default: an infinite
        // rate or volume would reach the processing and could not be saved
        // (it would be written as "inf", which reads back as 0).
        bool usable = value >= key.minimum && std::isfinite(value);
        this->*key.field = usable ? value : key.defaultValue;
    }
    if (hasZeroEssential(*this))
        resetToDefaults();
}

bool EncodingProfile::save() const
{
    IniFile file = IniFile::load(filePath);
    for (const IntKey& key : kIntKeys)
        file.setUInt(kSection, key.name, static_cast<uint32_t>(intValue(*this, key)));
    file.setString(kSection, kNameKey, friendlyName);
    for (const RealKey& key : kRealKeys)
        file.setString(kSection, key.name, formatFixed(this->*key.field, key.decimals));
    return file.save();
}

} // namespace moxel
