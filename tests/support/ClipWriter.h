// Writes small media clips with the FFmpeg libraries, for tests that need
// real files to decode: the container follows the file extension (.mp4,
// .avi, .mkv, .mov, .wav, .mp3, .ts, ...), with an optional video stream
// carrying a readable frame counter and an optional audio stream carrying a
// sine tone. Keep clips tiny (the defaults are 160 x 120, one second), so
// suites stay fast under the sanitizers too.
//
// The picture of frame n: a gradient (blue grows to the right, green
// downwards) with, in its top quarter, eight black or white blocks that
// spell n in binary, most significant bit on the left. readFrameNumber reads
// the blocks back from a decoded (and possibly resized) picture.
#pragma once

#include <cstdint>
#include <string>

namespace moxel::test {

struct ClipSpec {
    // Video: "h264" (libx264), "mjpeg", "mpeg4", "rawvideo" (24-bit BGR),
    // "ffv1" (lossless 32-bit BGR);
    // empty for no video stream.
    std::string videoCodec = "mpeg4";
    int width = 160; // h264 and the 4:2:0 codecs need even sides; rawvideo takes any
    int height = 120;
    int fpsNum = 25; // frame rate as a fraction, e.g. 30000/1001
    int fpsDen = 1;
    int frameCount = 25;
    int bFrames =
        0; // B-frames between reference pictures (h264, mpeg4): pictures are stored out of order
    // false keeps the frame rate out of the container's stream header
    // (with one mjpeg frame in .mkv, nothing then tells the rate).
    bool declareFrameRate = true;
    // Variable frame rate: when above 0, one frame slot is left empty after
    // every skipEvery pictures, so the timestamps jump by two frame times.
    int skipEvery = 0;
    // Draws frame n into width x height pixels of blue, green, red, alpha,
    // rows top-down; null draws drawClipPicture's pattern.
    void (*draw)(uint8_t* bgra, int width, int height, int frameNumber) = nullptr;
    // The coded picture format by its name ("yuv422p", "nv12", "yuvj420p",
    // ...); empty keeps the codec's usual one. "rawvideo" stores any format
    // unchanged.
    std::string pixelFormat;
    // The colour matrix the pattern is turned into YUV with ("bt709",
    // "bt2020nc", ...; empty: BT.601), and whether the stream says so.
    std::string colorMatrix;
    bool tagColor = true;
    // The display rotation stored with the stream: players turn the coded
    // pictures this many degrees clockwise (mp4, mov).
    int displayRotation = 0;

    // Audio: "aac", "pcm_u8", "pcm_s16le", "mp3" (libmp3lame); empty for
    // no audio stream.
    std::string audioCodec;
    int sampleRate = 44100;
    int channels = 2;           // 6 gives 5.1
    double audioSeconds = -1.0; // below 0: as long as the video (1 s without video)
    int audioFrameSamples = 0;  // samples per audio frame of the PCM codecs (0: 1024)
    double toneHz = 440.0;
    double toneAmplitude = 0.5;    // of full scale; 0 writes silence
    double toneStartSeconds = 0.0; // of the sound; silence before it

    // Stamps in seconds of the file's time: where the pictures and the sound
    // begin, and a gap in the sound (its stamps jump by audioGapSeconds at
    // the first frame after audioGapAtSeconds of sound; below 0: no gap).
    double videoStartSeconds = 0.0;
    double audioStartSeconds = 0.0;
    double audioGapAtSeconds = -1.0;
    double audioGapSeconds = 0.0;

    // false writes every video packet before the first audio packet (a
    // badly interleaved file); true interleaves them by time.
    bool interleave = true;
};

// The clip's picture slots (pictures plus the empty slots of skipEvery).
int clipSlotCount(const ClipSpec& spec);
// Its length in seconds from the video slots (or audioSeconds without video).
double clipVideoSeconds(const ClipSpec& spec);

// Writes the clip; false with a reason in error when it could not be made.
bool writeClip(const std::string& path, const ClipSpec& spec, std::string* error = nullptr);

// Draws frame n's pattern into width x height pixels of blue, green, red,
// alpha, rows top-down.
void drawClipPicture(uint8_t* bgra, int width, int height, int frameNumber);

// The frame number (0..255) a picture of 4-byte pixels (blue, green, red,
// any) shows; rows bottom-up unless bottomUp is false. -1 when a block is
// neither clearly black nor clearly white.
int readFrameNumber(const uint8_t* pixels, int width, int height, bool bottomUp = true);

} // namespace moxel::test
