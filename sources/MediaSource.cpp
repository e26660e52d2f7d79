#include "sources/MediaSource.h"

#include "base/DiagnosticSink.h"
#include "pipeline/FrameGeometry.h"
#include "pipeline/ProcessingValidation.h"

#include <new>

namespace moxel {

void MediaSource::showError(const std::string& text) const
{
    if (m_prompt) {
        m_prompt->showMessage("Error", text);
        return;
    }
    emitDiagnostic(kMessageDiagnostics, DiagnosticLevel::Error, "Error: " + text);
}

void MediaSource::beginOpen(const std::string& profilePath)
{
    profile.filePath = profilePath;
    profile.load();
    hasAudio = hasVideo = true;
    inRate = 44100;
    inChannels = 2;
    inBits = 16;
    inWidth = inHeight = outWidth = outHeight = 0;
    inFrameRate = frameRate = 0.0;
    durationSeconds = 0.0;
    counters.reset();
}

bool MediaSource::chooseOutputSize(std::string& problem)
{
    if (!validateProcessing(profile, inWidth, inHeight, problem))
        return false;
    const OutputSize size = computeOutputSize(inWidth, inHeight, profile);
    outWidth = size.width;
    outHeight = size.height;
    return true;
}

bool MediaSource::allocatePicture(std::vector<uint8_t>& buffer, size_t bytes)
{
    try {
        buffer.assign(bytes, 0);
        return true;
    } catch (const std::bad_alloc&) {
        buffer = {};
        return false;
    }
}

} // namespace moxel
