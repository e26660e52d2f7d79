#include "sources/FrameRateDetection.h"

#include "base/DiagnosticSink.h"
#include "settings/ProgramFolders.h"

#include <cmath>

namespace moxel {

double assumedFrameRate()
{
    const ProgramFolders& folders = programFolders();
    if (!folders.assumeFpsEnabled.load())
        return 0.0;
    const double rate = folders.assumedFps.load();
    return rate < 0.001 || !std::isfinite(rate) ? 30.0 : rate;
}

double snapFrameRate(double rate)
{
    double snapped = rate;
    if (std::fabs(rate - 29.97) < 0.00001)
        snapped = 30000.0 / 1001.0;
    else if (std::fabs(rate - 23.97) < 0.0001)
        snapped = 24000.0 / 1001.0;
    if (snapped != rate)
        emitDiagnosticf(kDshowDiagnostics, DiagnosticLevel::Info,
                        "Dshow: overriding detected fps to %.8f", snapped);
    return snapped;
}

} // namespace moxel
