// An encoding profile's processing options: the "kmfencpp" section of its
// .pf file, plus the file's path. Loading never fails: a missing file or key
// yields the defaults (and the name "error" when friendly_name is absent).
#pragma once

#include <string>

namespace moxel {

// How pictures are deinterlaced; stored in the "deinterlace" key as these
// numbers. A hand-edited file may hold any other number: it is kept as it is
// (and saved back unchanged) and deinterlaces like Plain, so code tests for
// Off and HighQuality and takes everything else as Plain.
enum class Deinterlace : int {
    Off = 0,
    HighQuality = 1, // rows blended 1-2-1 with their neighbours
    Plain = 2,       // each odd row repeats the even row before it
};

struct EncodingProfile {
    std::string filePath;      // the .pf file that load and save use
    std::string friendlyName;  // display name (at most 254 characters when loaded)
    int outSampleRate = 44100; // out_srate: output sample rate in Hz
    int outChannels = 2;       // out_channels: 1 mono, 2 stereo
    int roundSizeTo16 = 1;     // sizefix: round output width and height up to multiples of 16
    Deinterlace deinterlace = Deinterlace::Off; // deinterlace
    int filteredResize = 1;                     // filteringresize: resize with filtering
    int resizeEnabled = 0;                      // doresize: resize to resizeWidth x resizeHeight
    int resizeWidth = 320;                      // resizew
    int resizeHeight = 240;                     // resizeh
    int cropL = 0;
    int cropT = 0;
    int cropR = 0;
    int cropB = 0;
    int useOutputFrameRate = 0;    // outfruse: drop or repeat frames to reach outputFrameRate
    int lowPassFilter = 0;         // lowpass: low-pass filter when downsampling
    double volumeScale = 1.0;      // audioscale: volume multiplier
    double outputFrameRate = 30.0; // outfror: output frame rate

    // Every processing field to its default; filePath and friendlyName stay.
    void resetToDefaults();
    // Reads the "kmfencpp" section of filePath.
    void load();
    // Writes the "kmfencpp" section of filePath; other sections and keys stay.
    // Returns false when the file could not be written.
    bool save() const;
};

} // namespace moxel
