#include "jobs/DefaultFormats.h"

#include "encoder/CodecPlugins.h"
#include "profiles/IniFile.h"
#include "profiles/KmfConfig.h"

#include <filesystem>

namespace moxel {

namespace {

constexpr uint32_t fourCC(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

const char* const kAvPluginName = "kmf_coder_av.so";

bool offers(const std::vector<CodecType>& types, int pluginIndex, uint32_t format)
{
    for (const CodecType& type : types)
        if (type.pluginIndex == pluginIndex && type.format == format)
            return true;
    return false;
}

} // namespace

DefaultFormats chooseDefaultFormats(const std::string& pluginFolder)
{
    DefaultFormats formats{fourCC("RGB3"), fourCC("PCM ")};
    std::error_code ec;
    if (pluginFolder.empty() || !std::filesystem::is_directory(pluginFolder, ec))
        return formats;
    CodecPluginSet set;
    set.load(pluginFolder);
    int avIndex = -1;
    for (size_t i = 0; i < set.plugins().size(); ++i)
        if (std::filesystem::path(set.plugins()[i].path).filename() == kAvPluginName)
            avIndex = int(i);
    if (avIndex < 0)
        return formats;
    if (offers(set.videoTypes(false), avIndex, fourCC("VP80")))
        formats.video = fourCC("VP80");
    if (offers(set.audioTypes(false), avIndex, fourCC("MP3 ")))
        formats.audio = fourCC("MP3 ");
    return formats;
}

bool giveMissingFormats(const std::string& profilePath, const std::string& pluginFolder)
{
    const IniFile file = IniFile::load(profilePath);
    const bool noVideo = !file.hasKey("kmfconfig", "vidfmt");
    const bool noAudio = !file.hasKey("kmfconfig", "audfmt");
    if (!noVideo && !noAudio)
        return true;
    const DefaultFormats formats = chooseDefaultFormats(pluginFolder);
    KmfConfig config(profilePath);
    config.load();
    if (noVideo)
        config.videoFormat = formats.video;
    if (noAudio)
        config.audioFormat = formats.audio;
    return config.release();
}

bool writeDefaultFormats(const std::string& profilePath, const DefaultFormats& formats)
{
    KmfConfig config(profilePath);
    config.videoFormat = formats.video;
    config.audioFormat = formats.audio;
    return config.release();
}

} // namespace moxel
