// Trying a codec plug-in before the program loads it. A small program of its
// own, kmf-plugin-probe, loads the library, looks its entries up and lists
// its formats. A library whose constructor crashes, ends the process or
// hangs, that exports none of the codec entries, or that crashes while
// listing its formats takes down only that program; the loader then skips it
// with the reason this gives.
//
// The trial program is started with posix_spawn, never by forking the
// caller: the caller may run worker and decoder threads, and a forked child
// that loads a library can hang on a lock one of them held at the fork. It
// lies beside the program or shared library that holds this code, starts
// with its standard streams on /dev/null, no other descriptor of the caller
// and every signal at its default, and is killed and waited for when it
// overruns the time given. Without it nothing can be tried, and the trial
// fails with a reason naming the missing file: a library never loads untried.
#pragma once

#include <string>

namespace moxel {

struct PluginProbeResult {
    bool ok = false;
    std::string reason; // why the library failed, when !ok
};

inline constexpr int kPluginProbeTimeoutMs = 10000;

// path must be absolute, so the dynamic loader never searches for it. An
// empty program means pluginProbeProgram().
PluginProbeResult probeCodecPlugin(const std::string& path, int timeoutMs = kPluginProbeTimeoutMs,
                                   const std::string& program = {});

// The trial program beside the executable or shared library this code is
// linked into; empty when that folder cannot be found.
std::string pluginProbeProgram();

// What the trial program and this code agree on. It is run as
// "kmf-plugin-probe <library path>", writes "ok" or why the library failed
// to kPluginProbeReportFd, and ends with status 0 when it wrote "ok".
inline constexpr const char* kPluginProbeProgram = "kmf-plugin-probe";
inline constexpr int kPluginProbeReportFd = 3;
inline constexpr const char* kPluginProbeOk = "ok";

// The entries a codec plug-in exports; a library with none of them is no plug-in.
inline constexpr const char* kCodecPluginEntries[] = {"CreateVideo3",   "CreateAudio3",
                                                      "GetVideoTypes3", "GetAudioTypes3",
                                                      "ConfigVideo3",   "ConfigAudio3"};
// The most formats a plug-in lists: one that answers every index would never end.
inline constexpr int kMaxTypesPerPlugin = 0xFFFF;

} // namespace moxel
