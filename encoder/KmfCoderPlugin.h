// The codec plug-in interface. A plug-in is a shared library named
// "kmf_coder_<name>.so" placed beside the program; it exports the six entries
// below with C linkage. Build a plug-in against this header alone.
//
// Call contracts a plug-in keeps:
//  - CreateVideo3/CreateAudio3 return a new coder or null when the plug-in does
//    not handle *format. *format may be rewritten; the rewritten value is what
//    goes into the stream. configFile is the profile (.pf) file; a plug-in may
//    keep its own settings there, in a section of its own.
//  - VideoCoder::Encode compresses one picture of width x height 4-byte pixels
//    (blue, green, red, unused; rows bottom-up) into out, whose room is
//    kCoderVideoOutRoom bytes, within the same call. It returns the byte count
//    (0 allowed) or a negative value on error, and sets *keyframe nonzero when
//    this picture may start a sync frame. There is no flush call.
//  - AudioCoder::Encode is called repeatedly for each frame with callIndex
//    0, 1, 2, ...; it takes what it needs of in[0, inLength), stores the number
//    of bytes taken in *consumed (never more than inLength, keeping any
//    remainder for later calls) and returns the bytes written to out, at most
//    outRoom. Input is interleaved signed 16-bit PCM.
//  - FlushAudio3 (optional) hands out what an audio coder still holds once
//    the sound of a job has ended: a coder that takes whole codec frames
//    only, or that lags its input (priming, look-ahead), exports it. It is
//    called with a coder this plug-in's CreateAudio3 made, instead of
//    Encode, after the coder's last Encode call; no Encode call follows it.
//    The first call passes the rest of the input (possibly less than one
//    codec frame, possibly none): the coder takes all of it (*consumed =
//    inLength), pads its last codec frame with silence, drains itself and
//    writes finished output to out, at most outRoom bytes. It returns the
//    bytes written (negative on error, which ends the flush) and sets
//    *pending nonzero while output that did not fit is left; the encoder
//    then calls again (inLength 0) with fresh room, possibly in a later
//    frame. A plug-in without the export is never asked: what its coder
//    keeps back stays there, as it always has.
//  - CreateVideoPlanar3 (optional) makes a coder that takes planar 4:2:0
//    pictures instead of "RGBA" ones, when the program has them: pictures
//    that no processing step changed, which would otherwise go to 4 bytes a
//    pixel and back. *source says how the pictures are laid out (layout
//    kCoderLayoutI420: width x height bytes of luma, then the two chroma
//    planes of width/2 x height/2 bytes, blue difference first; every row
//    packed and top-down; width and height even) and what their colours
//    mean (colourMatrix: the matrix code video streams carry, 1 BT.709,
//    5 and 6 BT.601, 9 BT.2020; fullRange 0: luma 16..235). It returns null
//    for a source it does not take; then, and for a plug-in without the
//    export, the program asks CreateVideo3 with "RGBA" as always, so a
//    plug-in never gets a srcFormat it did not ask for. The coder's Encode
//    receives the planar pictures in the frame argument, valid during the
//    call; everything else is as for CreateVideo3. Only the first plug-in in
//    load order whose GetVideoTypes3 lists the format is asked, never for
//    "RGB3", so the planar way never changes which coder encodes.
//  - A coder is destroyed with delete, through its virtual destructor.
//  - GetVideoTypes3/GetAudioTypes3 return the FourCC at index (0 past the
//    last one) and write a NUL-terminated display name of fewer than
//    kCoderTypeNameSize bytes to nameOut.
//  - ConfigVideo3/ConfigAudio3 return a settings panel (a QWidget child of
//    parent) for a format the plug-in owns, or null. The panel stores its
//    settings in profilePath by the time it is destroyed. Only the profile
//    editor calls them; the engine never includes Qt.
#pragma once

#include <cstdint>

class QWidget;

namespace moxel {

inline constexpr int kCoderVideoOutRoom = 0x80000; // 524288
inline constexpr int kCoderTypeNameSize = 256;
// "I420": the planar layout CreateVideoPlanar3 describes.
inline constexpr uint32_t kCoderLayoutI420 = 0x30323449;

// What planar pictures are: CreateVideoPlanar3's description of its input.
struct KmfPlanarFormat {
    uint32_t layout = kCoderLayoutI420;
    int colourMatrix = 6; // matrix code as video streams carry it
    int fullRange = 0;    // 0: limited range (luma 16..235, chroma 16..240)
};

class VideoCoder {
  public:
    virtual ~VideoCoder() = default;
    virtual int Encode(const void* frame, void* out, int* keyframe) = 0;
};

class AudioCoder {
  public:
    virtual ~AudioCoder() = default;
    virtual int Encode(int callIndex, const void* in, int inLength, int* consumed, void* out,
                       int outRoom) = 0;
};

} // namespace moxel

extern "C" {
typedef moxel::VideoCoder* (*KmfCreateVideo3Fn)(int width, int height, double frameRate,
                                                uint32_t srcFormat, uint32_t* format,
                                                const char* configFile);
typedef moxel::VideoCoder* (*KmfCreateVideoPlanar3Fn)(int width, int height, double frameRate,
                                                      const moxel::KmfPlanarFormat* source,
                                                      uint32_t* format, const char* configFile);
typedef moxel::AudioCoder* (*KmfCreateAudio3Fn)(int channels, int sampleRate, int bitsPerSample,
                                                uint32_t srcFormat, uint32_t* format,
                                                const char* configFile);
typedef uint32_t (*KmfGetTypes3Fn)(int index, char* nameOut);
typedef QWidget* (*KmfConfig3Fn)(QWidget* parent, void* module, uint32_t format,
                                 const char* profilePath);
typedef int (*KmfFlushAudio3Fn)(moxel::AudioCoder* coder, const void* in, int inLength,
                                int* consumed, void* out, int outRoom, int* pending);

// What a plug-in exports (declared here so a plug-in's definitions are checked).
moxel::VideoCoder* CreateVideo3(int width, int height, double frameRate, uint32_t srcFormat,
                                uint32_t* format, const char* configFile);
moxel::VideoCoder* CreateVideoPlanar3(int width, int height, double frameRate,
                                      const moxel::KmfPlanarFormat* source, uint32_t* format,
                                      const char* configFile);
moxel::AudioCoder* CreateAudio3(int channels, int sampleRate, int bitsPerSample, uint32_t srcFormat,
                                uint32_t* format, const char* configFile);
uint32_t GetVideoTypes3(int index, char* nameOut);
uint32_t GetAudioTypes3(int index, char* nameOut);
QWidget* ConfigVideo3(QWidget* parent, void* module, uint32_t format, const char* profilePath);
QWidget* ConfigAudio3(QWidget* parent, void* module, uint32_t format, const char* profilePath);
int FlushAudio3(moxel::AudioCoder* coder, const void* in, int inLength, int* consumed, void* out,
                int outRoom, int* pending);
}
