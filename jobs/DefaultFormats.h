// The codec formats a newly created default profile starts with: the best
// ones installed. The compressing plug-in kmf_coder_av.so gives "VP80" video
// and "MP3 " audio when it loads from the plug-in folder and offers them;
// otherwise the built-in "RGB3" and "PCM " are used.
#pragma once

#include <cstdint>
#include <string>

namespace moxel {

struct DefaultFormats {
    uint32_t video = 0;
    uint32_t audio = 0;
};

// Loads the plug-ins of pluginFolder for the look-up and unloads them again.
DefaultFormats chooseDefaultFormats(const std::string& pluginFolder);

// Writes the formats into the "kmfconfig" section of the profile file, with
// the other container options at their defaults. False when the file could
// not be written.
bool writeDefaultFormats(const std::string& profilePath, const DefaultFormats& formats);

// Gives a profile file that lacks a video or an audio format (no vidfmt or
// audfmt key) the default one of pluginFolder for it, keeping every other
// key and section: a profile without formats would stop every job that
// uses it. The plug-ins are loaded only when a format is missing. False
// when the file could not be written.
bool giveMissingFormats(const std::string& profilePath, const std::string& pluginFolder);

} // namespace moxel
