// The one interface through which a job's worker reads its source. Every
// concrete source carries its own copy of the job's profile and applies all
// of its processing itself: what it hands out are output-sized pictures
// (outWidth x outHeight, 4 bytes per pixel, blue, green, red, unused, rows
// bottom-up; or planar, when offered and accepted, see planarOffer) and PCM in the profile's output
// format (interleaved signed 16-bit little-endian at out_srate with out_channels channels).
//
// Used by SourceHolder on the job's worker thread only.
#pragma once

#include "base/Prompt.h"
#include "encoder/KmfCoderPlugin.h"
#include "profiles/EncodingProfile.h"
#include "sources/SourceCounters.h"

#include <cstdint>
#include <string>
#include <vector>

namespace moxel {

class MediaSource {
  public:
    virtual ~MediaSource() = default;

    // Loads the profile, then opens the source. True on success; on failure the
    // source has closed itself, any message has been shown, and false is returned.
    virtual bool open(const std::string& sourcePath, const std::string& profilePath) = 0;
    // Sets *picture to null first. 1 with *picture set to the source's output
    // picture (valid until the next call); 0 without video or at its end.
    virtual int getVideoFrame(const uint8_t** picture) = 0;
    // Sets *length to 0 first. 1 with up to maxBytes of PCM copied and
    // *length set; 0 when no audio can be delivered.
    virtual int getAudio(uint8_t* buffer, int maxBytes, int* length) = 0;
    // Stops decoding and frees everything. 1 (the capture kind returns 0).
    virtual int close() = 0;
    // "ignore_drops" (int) and "fr_or" (double); 0 when the name is known.
    virtual int setOption(const char* name, int value) = 0;
    virtual int setOption(const char* name, double value) = 0;

    // Planar pictures (PlanarPictures.h). After a successful open, a source
    // whose pictures no processing step changes may offer to hand them out
    // in planar 4:2:0 (encoder/KmfCoderPlugin.h) instead: planarOffer fills
    // format and returns true. The worker answers once with usePlanarPictures
    // before its first getVideoFrame; yes makes every picture planar
    // (width x height x 3 / 2 bytes, rows top-down). An offering source holds
    // its first picture back until it has the answer, and a getVideoFrame
    // before any answer counts as no. Sources without the ability keep these.
    virtual bool planarOffer(KmfPlanarFormat& format) const
    {
        (void)format;
        return false;
    }
    virtual void usePlanarPictures(bool planar) { (void)planar; }

    // Read by the holder and the driver after a successful open.
    EncodingProfile profile; // out_srate and out_channels are the output audio format
    bool hasAudio = false;
    bool hasVideo = false;
    int inRate = 44100;
    int inChannels = 2;
    int inBits = 16;
    int inWidth = 0;
    int inHeight = 0;
    double inFrameRate = 0.0;
    double frameRate = 0.0; // outputFrameRate when useOutputFrameRate is set, else inFrameRate
    int outWidth = 0;
    int outHeight = 0;
    double durationSeconds = 0.0; // length of the source when known, else 0 (for progress)
    // Counted from open to close; open resets them.
    SourceCounters counters;

    // Where the source shows its "Error" messages; null makes them diagnostic
    // lines (standard error by default). The holder sets it before open.
    void setPrompt(Prompt* prompt) { m_prompt = prompt; }

  protected:
    void showError(const std::string& text) const;
    // The common first steps of open: loads the profile from profilePath and
    // sets the flags, the input audio defaults and the sizes to their start.
    void beginOpen(const std::string& profilePath);
    // Checks the profile against the input size and sets outWidth and
    // outHeight; false with the reason in problem when it cannot be processed.
    bool chooseOutputSize(std::string& problem);
    // Sizes buffer to bytes of zeros; false when the memory is not there.
    static bool allocatePicture(std::vector<uint8_t>& buffer, size_t bytes);

    Prompt* m_prompt = nullptr;
};

} // namespace moxel
