#include "sources/MediaSource.h"

#include <cstdio>

namespace moxel {

void MediaSource::showError(const std::string& text) const
{
    if (m_prompt) {
        m_prompt->showMessage("Error", text);
        return;
    }
    std::fprintf(stderr, "Error: %s\n", text.c_str());
}

void MediaSource::beginOpen(const std::string& profilePath)
{
    profile.filePath = profilePath;
    profile.load();
    hasAudio = hasVideo = 1;
    inRate = 44100;
    inChannels = 2;
    inBits = 16;
    inWidth = inHeight = outWidth = outHeight = 0;
    inFrameRate = frameRate = 0.0;
    durationSeconds = 0.0;
}

} // namespace moxel
