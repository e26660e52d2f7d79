// A shared library with its own copy of the plug-in loader, as the profile
// editor library has: it tells where its loader looks for the trial program.
#include "encoder/PluginProbe.h"

#include <cstdio>

extern "C" __attribute__((visibility("default"))) int ProbeTestHelperPath(char* out, int room)
{
    return std::snprintf(out, size_t(room), "%s", moxel::pluginProbeProgram().c_str());
}
