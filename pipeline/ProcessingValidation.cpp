#include "pipeline/ProcessingValidation.h"

#include "pipeline/FrameGeometry.h"
#include "profiles/EncodingProfile.h"

#include <cmath>
#include <cstdio>

namespace moxel {
namespace {

constexpr double kMaxOutputFps = 1000.0;
constexpr int kMaxSampleRateHz = 768000;

bool refuse(const EncodingProfile& profile, const std::string& text, std::string& error)
{
    error = "profile \"" + profile.friendlyName + "\": " + text;
    return false;
}

} // namespace

bool validateProcessing(const EncodingProfile& profile, int srcW, int srcH, std::string& error)
{
    const OutputSize out = computeOutputSize(srcW, srcH, profile);
    const std::string problem = geometryProblem(srcW, srcH, out.width, out.height, profile);
    if (!problem.empty())
        return refuse(profile, problem, error);
    if (profile.useOutputFrameRate != 0 &&
        !(std::isfinite(profile.outputFrameRate) && profile.outputFrameRate > 0.0 &&
          profile.outputFrameRate <= kMaxOutputFps)) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "an output frame rate of %g fps cannot be produced (above 0, at most %g)",
                      profile.outputFrameRate, kMaxOutputFps);
        return refuse(profile, text, error);
    }
    error.clear();
    return true;
}

bool validateAudioProcessing(const EncodingProfile& profile, std::string& error)
{
    char text[160];
    if (profile.outSampleRate < 1 || profile.outSampleRate > kMaxSampleRateHz) {
        std::snprintf(text, sizeof text,
                      "an output sample rate of %d Hz cannot be produced (1 to %d)",
                      profile.outSampleRate, kMaxSampleRateHz);
        return refuse(profile, text, error);
    }
    if (profile.outChannels != 1 && profile.outChannels != 2) {
        std::snprintf(text, sizeof text, "%d output channels cannot be produced (1 or 2)",
                      profile.outChannels);
        return refuse(profile, text, error);
    }
    error.clear();
    return true;
}

} // namespace moxel
