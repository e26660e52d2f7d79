// The ready-made profiles a fresh install offers beside "(Default)":
// streaming at 640x360 (VP8 video, MP3 audio), high quality at 1280x720
// (H.264, AAC) and uncompressed (RGB 24-bit at 320x240, small enough for a
// KMF frame, and PCM). Their names are ones the profile editor accepts (no
// period, no slash), so OK works without a rename; a store made before
// keeps the files it has. The streaming and the uncompressed ones are the
// bundled sample profiles of the same names, which an installed program
// then passes over. They are ordinary
// profiles, created the way the profile manager creates one, so the user can
// edit, copy or delete them. The compressed ones need the av plug-in: they
// are made only when kmf_coder_av.so loads from the store's plug-in folder
// and offers both of their formats.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace moxel {

class ProfileStore;

struct ProfilePreset {
    const char* name = "";
    uint32_t video = 0;  // FourCC
    uint32_t audio = 0;  // FourCC
    int resizeWidth = 0; // 0: keep the source size
    int resizeHeight = 0;
    int roundSizeTo16 = 1;
    int useOutputFrameRate = 0; // 1: convert to 30 pictures a second
    int lowPassFilter = 0;
    int writeHeader = 0;
    int maxSyncInterval = 120;
    bool needsAvPlugin = false;
    // The av plug-in's own settings; unused without it.
    int videoBitrateKbps = 0;
    int keyint = 0;
    int speed = 0;
    int audioBitrateKbps = 0;
};

// Every preset, in the order they are added.
const std::vector<ProfilePreset>& profilePresets();

// Appends the presets that can be made to the store, after its existing
// profiles, and writes the index when any was added. A preset whose name is
// taken in the store, or whose file already lies in the Profiles folder, is
// left out. Meant for the first start only: call it when the index listed
// nothing. Returns how many were added.
int addProfilePresets(ProfileStore& store);

} // namespace moxel
