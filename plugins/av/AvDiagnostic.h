// Diagnostics of the plug-in: one line on standard output, prefixed
// "kmf_coder_av:". Used where a Create entry refuses or an Encode call
// fails, since the interface itself only carries null or a negative count.
#pragma once

namespace moxel::av {

void diagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

// libavcodec's text for an error code, for diagnostics.
const char* avErrorText(int code, char* buffer, int size);

} // namespace moxel::av
