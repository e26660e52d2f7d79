// The checks a source makes when it opens, before it allocates any buffer:
// profile values that the picture stage or the audio chain cannot process
// safely are refused with a message naming the profile, instead of reading
// or writing outside the pictures or looping without end later.
#pragma once

#include <string>

namespace moxel {

struct EncodingProfile;

// Refuses source sides outside 1..32767, negative crops, crops that leave no
// pixel, output sizes outside 1..32767 and (with useOutputFrameRate) output frame rates
// that are not above 0 and at most 1000 fps. Returns true when the source
// may open; error then is empty.
bool validateProcessing(const EncodingProfile& profile, int srcW, int srcH, std::string& error);

// Refuses output sample rates outside 1..768000 Hz and channel counts other
// than 1 and 2, which the audio chain cannot produce.
bool validateAudioProcessing(const EncodingProfile& profile, std::string& error);

} // namespace moxel
