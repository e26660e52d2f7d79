// The frame-rate rules the sources share when they open: the fallback to the
// assumed rate of the preferences, and the snapping of rounded NTSC rates.
#pragma once

namespace moxel {

// The rate to assume when the decoder gives no usable one: assumefps_val
// (30.0 when below 0.001) while the preference assumefps is set; 0.0 when it
// is not, and the source then cannot open.
double assumedFrameRate();

// 29.97 becomes 30000/1001 and 23.97 becomes 24000/1001, with
// the diagnostic line "Dshow: overriding detected fps to %.8f"; other rates
// stay as they are.
double snapFrameRate(double rate);

} // namespace moxel
