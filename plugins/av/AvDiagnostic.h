// Diagnostics of the plug-in: one line prefixed "kmf_coder_av:" to the
// diagnostic sink (standard output by default). Used where a Create entry
// refuses or an Encode call fails, since the interface itself only carries
// null or a negative count. Loaded as a plug-in, the library has its own
// copy of the sink, which the program's sinks do not reach.
#pragma once

namespace moxel::av {

void diagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

// libavcodec's text for an error code, for diagnostics.
const char* avErrorText(int code, char* buffer, int size);

} // namespace moxel::av
