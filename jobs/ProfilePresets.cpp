#include "jobs/ProfilePresets.h"

#include "encoder/CodecPlugins.h"
#include "jobs/ProfileStore.h"
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
        record.resizeEnabled = 1;
        record.resizeWidth = preset.resizeWidth;
        record.resizeHeight = preset.resizeHeight;
    }
    record.roundSizeTo16 = preset.roundSizeTo16;
    record.useOutputFrameRate = preset.useOutputFrameRate;
    record.lowPassFilter = preset.lowPassFilter;
    if (!record.save())
        return false;
    KmfConfig config(record.filePath);
    config.videoFormat = preset.video;
    config.audioFormat = preset.audio;
    config.writeHeader = preset.writeHeader;
    config.maxSyncInterval = preset.maxSyncInterval;
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
        {.name = "Streaming: VP8 640x360 + MP3",
         .video = av::kFourCCVp8,
         .audio = av::kFourCCMp3,
         .resizeWidth = 640,
         .resizeHeight = 360,
         .roundSizeTo16 = 0,
         .useOutputFrameRate = 1,
         .lowPassFilter = 1,
         .writeHeader = 1,
         .needsAvPlugin = true,
         .videoBitrateKbps = 800,
         .keyint = 60,
         .speed = 5,
         .audioBitrateKbps = 128},
        {.name = "High quality: H264 1280x720 + AAC",
         .video = av::kFourCCH264,
         .audio = av::kFourCCAac,
         .resizeWidth = 1280,
         .resizeHeight = 720,
         .roundSizeTo16 = 0,
         .lowPassFilter = 1,
         .writeHeader = 1,
         .needsAvPlugin = true,
         .videoBitrateKbps = 4000,
         .keyint = 120,
         .speed = 2,
         .audioBitrateKbps = 192},
        {.name = "Uncompressed: RGB 24bit 320x240 + PCM",
         .video = av::fourCC("RGB3"),
         .audio = av::fourCC("PCM "),
         .resizeWidth = 320,
         .resizeHeight = 240,
         .roundSizeTo16 = 0,
         .lowPassFilter = 1,
         .writeHeader = 1,
         .maxSyncInterval = 30},
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
