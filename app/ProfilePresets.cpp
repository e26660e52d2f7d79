#include "app/ProfilePresets.h"

#include "app/ProfileStore.h"
#include "encoder/CodecPlugins.h"
#include "plugins/av/AvCoderSettings.h"
#include "plugins/av/AvFormats.h"
#include "profiles/KmfConfig.h"

#include <algorithm>
#include <filesystem>

namespace moxel {

namespace {

const char* const kAvPluginFile = "kmf_coder_av.so";

// The formats kmf_coder_av.so offers from folder, video and audio together;
// empty when it does not load.
std::vector<uint32_t> avPluginFormats(const std::string& folder)
{
    std::vector<uint32_t> formats;
    if (folder.empty())
        return formats;
    CodecPluginSet set;
    set.load(folder);
    int avIndex = -1;
    for (size_t i = 0; i < set.plugins().size(); ++i)
        if (std::filesystem::path(set.plugins()[i].path).filename() == kAvPluginFile)
            avIndex = int(i);
    for (const auto& types : {set.videoTypes(false), set.audioTypes(false)})
        for (const CodecType& type : types)
            if (type.pluginIndex == avIndex && avIndex >= 0)
                formats.push_back(type.format);
    return formats;
}

bool canMake(const ProfilePreset& preset, const std::vector<uint32_t>& avFormats)
{
    if (!preset.needsAvPlugin)
        return true;
    auto offered = [&](uint32_t f) {
        return std::find(avFormats.begin(), avFormats.end(), f) != avFormats.end();
    };
    return offered(preset.video) && offered(preset.audio);
}

// Writes one preset as the store's prepared profile and counts it.
bool addPreset(ProfileStore& store, const ProfilePreset& preset)
{
    if (!store.isNameFree(preset.name))
        return false;
    EncodingProfile& record = store.prepared();
    record.resetToDefaults();
    record.friendlyName = preset.name;
    if (!store.givePreparedFile())
        return false;
    if (preset.resizeWidth > 0) {
        record.doresize = 1;
        record.resizew = preset.resizeWidth;
        record.resizeh = preset.resizeHeight;
    }
    if (!record.save())
        return false;
    KmfConfig config(record.filePath);
    config.vidfmt = preset.video;
    config.audfmt = preset.audio;
    bool written = config.release();
    if (preset.needsAvPlugin) {
        av::AvCoderSettings settings;
        settings.videoBitrateKbps = preset.videoBitrateKbps;
        settings.keyint = preset.keyint;
        settings.speed = preset.speed;
        settings.audioBitrateKbps = preset.audioBitrateKbps;
        written = written &&
                  settings.save(record.filePath.c_str(), av::AvCoderSettings::Part::Video) &&
                  settings.save(record.filePath.c_str(), av::AvCoderSettings::Part::Audio);
    }
    if (!written) {
        // A half-written preset would not encode: leave it out altogether.
        std::error_code ec;
        std::filesystem::remove(record.filePath, ec);
        return false;
    }
    store.commitPrepared();
    return true;
}

} // namespace

const std::vector<ProfilePreset>& profilePresets()
{
    static const std::vector<ProfilePreset> presets = {
        {"Streaming 640x360", av::kFourCCVp8, av::kFourCCMp3, 640, 360, true, 800, 60, 5, 128},
        {"High quality 1280x720", av::kFourCCH264, av::kFourCCAac, 1280, 720, true, 4000, 120, 2,
         192},
        {"Uncompressed", av::fourCC("RGB3"), av::fourCC("PCM "), 0, 0, false, 0, 0, 0, 0},
    };
    return presets;
}

int addProfilePresets(ProfileStore& store)
{
    const std::vector<uint32_t> avFormats = avPluginFormats(store.pluginFolder());
    int added = 0;
    for (const ProfilePreset& preset : profilePresets())
        if (canMake(preset, avFormats) && addPreset(store, preset))
            ++added;
    if (added > 0)
        store.saveIndex();
    return added;
}

} // namespace moxel
