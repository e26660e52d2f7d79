// The frame-rate rules the sources share when they open: the fallback to the
// assumed rate of the preferences, the snapping of rounded NTSC rates, the
// rate of a stream from its index or its timestamps, and the move to a rate
// the container's frame-rate code can name.
#pragma once

#include <string>
#include <string_view>

struct AVStream;

namespace moxel {

// The rate to assume when the decoder gives no usable one: assumefps_val
// (30.0 when below 0.001) while the preference assumefps is set; 0.0 when it
// is not, and the source then cannot open.
double assumedFrameRate();

// 29.97 becomes 30000/1001 and 23.97 becomes 24000/1001, with
// the diagnostic line "Dshow: overriding detected fps to %.8f"; other rates
// stay as they are.
double snapFrameRate(double rate);

// The rate the demuxer reports for the stream (its average, else its base
// rate); 0 when it reports none to believe: rates from 1000 fps up are
// guesses from a millisecond (or finer) time base.
double reportedFrameRate(const AVStream* stream);

// The stream's picture count over its duration where the container indexes
// every picture (a movie's sample table, an AVI index); 0 when it does not.
double indexedFrameRate(const AVStream* stream);

// The average rate of the pictures' timestamps over the first seconds of
// the video stream at streamIndex of the file at path (read without
// decoding, in a demuxer of its own); 0 when fewer than two pictures have
// a time or the rate is not to be believed. Containers that keep no count
// of their pictures need this.
double timestampFrameRate(const std::string& path, int streamIndex);

// The rate a job writes and converts to: the rate itself when a frame-rate
// code names it exactly (30000/1001 and 24000/1001 included), else the rate
// of the nearest code, so that sound paced by the code's rate never drifts
// from the pictures. The change is a diagnostic line under tag. Rates no
// code comes near (below half a picture per second) stay as they are.
double codedFrameRate(double rate, std::string_view tag);

} // namespace moxel
