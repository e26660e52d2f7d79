// Loads the codec plug-ins the way the program does and prints the path of
// each one loaded, a line each.
#include "encoder/CodecPlugins.h"

#include <cstdio>

#include <unistd.h>

int main()
{
    moxel::loadCodecPlugins();
    for (const std::string& path : moxel::codecPluginPaths())
        std::printf("%s\n", path.c_str());
    // Ends without unloading: this program only tells what was loaded, and
    // the leak checker would count what a plug-in's libraries keep for good.
    std::fflush(stdout);
    _exit(0);
}
