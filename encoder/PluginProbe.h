// Trying a codec plug-in before the program loads it. A forked child loads
// the library, looks its entries up and lists its formats, then ends without
// running any exit code of the program. A library whose constructor crashes,
// ends the process or hangs, that exports none of the codec entries, or that
// crashes while listing its formats takes down only the child; the loader
// then skips it with the reason this gives.
#pragma once

#include <string>

namespace moxel {

struct PluginProbeResult {
    bool ok = false;
    std::string reason; // why the library failed, when !ok
};

inline constexpr int kPluginProbeTimeoutMs = 10000;

// path must be absolute, so the dynamic loader never searches for it.
PluginProbeResult probeCodecPlugin(const std::string& path, int timeoutMs = kPluginProbeTimeoutMs);

// The entries a codec plug-in exports; a library with none of them is no plug-in.
inline constexpr const char* kCodecPluginEntries[] = {"CreateVideo3",   "CreateAudio3",
                                                      "GetVideoTypes3", "GetAudioTypes3",
                                                      "ConfigVideo3",   "ConfigAudio3"};
// The most formats a plug-in lists: one that answers every index would never end.
inline constexpr int kMaxTypesPerPlugin = 0xFFFF;

} // namespace moxel
