// Loads the codec plug-ins the way the program does and prints the path of
// each one loaded, a line each.
#include "encoder/CodecPlugins.h"

#include <cstdio>

int main()
{
    moxel::loadCodecPlugins();
    for (const std::string& path : moxel::codecPluginPaths())
        std::printf("%s\n", path.c_str());
    moxel::unloadCodecPlugins();
    return 0;
}
