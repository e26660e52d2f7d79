// An encoding profile's processing options: the "kmfencpp" section of its
// .pf file, plus the file's path. Loading never fails: a missing file or key
// yields the defaults (and the name "error" when friendly_name is absent).
#pragma once

#include <string>

namespace moxel {

struct EncodingProfile {
    std::string filePath;     // the .pf file that load and save use
    std::string friendlyName; // display name (at most 254 characters when loaded)
    int outSrate = 44100;     // out_srate: output sample rate in Hz
    int outChannels = 2;      // out_channels: 1 mono, 2 stereo
    int sizefix = 1;          // round output width and height up to multiples of 16
    int deinterlace = 0;      // 0 off, 1 high quality, 2 plain
    int filteringresize = 1;  // resize with filtering
    int doresize = 0;         // resize to resizew x resizeh
    int resizew = 320;
    int resizeh = 240;
    int cropL = 0;
    int cropT = 0;
    int cropR = 0;
    int cropB = 0;
    int outfruse = 0;        // drop or repeat frames to reach outfror
    int lowpass = 0;         // low-pass filter when downsampling
    double audioscale = 1.0; // volume multiplier
    double outfror = 30.0;   // output frame rate

    // Every processing field to its default; filePath and friendlyName stay.
    void resetToDefaults();
    // Reads the "kmfencpp" section of filePath.
    void load();
    // Writes the "kmfencpp" section of filePath; other sections and keys stay.
    // Returns false when the file could not be written.
    bool save() const;
};

} // namespace moxel
