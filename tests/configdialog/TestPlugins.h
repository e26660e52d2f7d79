// The plug-in sets the editor tests use: none at all, the panel test plug-in
// (plugin/PanelTestPlugin.cpp) from a folder of its own, and the real
// plug-ins beside the program.
#pragma once

#include "encoder/CodecPlugins.h"

#include <dlfcn.h>

#include <cstdint>

namespace moxel::test {

constexpr uint32_t code(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

inline const CodecPluginSet& noPlugins()
{
    static CodecPluginSet set;
    return set;
}

inline const CodecPluginSet& panelTestPlugins()
{
    static CodecPluginSet set;
    if (set.plugins().empty())
        set.load(MOXEL_PANEL_PLUGIN_DIR);
    return set;
}

inline const CodecPluginSet& programPlugins()
{
    static CodecPluginSet set;
    if (set.plugins().empty())
        set.load(MOXEL_PROGRAM_DIR);
    return set;
}

// Panels of the test plug-in that exist now.
inline int livePanels()
{
    const CodecPluginSet& set = panelTestPlugins();
    if (set.plugins().empty())
        return -1;
    auto fn = reinterpret_cast<int (*)()>(dlsym(set.plugins().front().handle, "ZzLivePanels"));
    return fn ? fn() : -1;
}

} // namespace moxel::test
