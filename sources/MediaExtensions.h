// The file extensions the media libraries read: every extension a demuxer of
// libavformat names, together with the common containers whose demuxers
// name none themselves (.ts and .wav, for two). The Add Source Files filter
// offers them, so that no readable file is hidden behind "All files".
#pragma once

#include <string>
#include <vector>

namespace moxel {

// Lower case, without the dot, sorted and without repeats; always holds at
// least the common containers (avi, mkv, mov, mp4, mpeg, mpg, ts, webm, wav
// and a few more).
std::vector<std::string> readableExtensions();

// The same as a filter pattern: "*.3gp;*.avi;..." in the order above.
std::string readableExtensionPattern();

} // namespace moxel
