// The profiles that come with the program. A new profile folder (no index
// yet) gets a copy of each bundled .pf file after the store has made its
// "(Default)", so a first start offers them at once; later starts leave
// the user's profiles alone.
#pragma once

#include <string>

namespace moxel {
class ProfileStore;
}

namespace moxel::gui {

// Where the bundled profiles lie: "samples" beside the program (as for
// moxel-cli); empty when there is no such folder.
std::string bundledProfilesFolder(const std::string& programFolder);

// Copies the profiles of folder into the store (names already taken are
// passed over) and saves the index when any was added. Returns how many.
int addBundledProfiles(ProfileStore& store, const std::string& folder);

} // namespace moxel::gui
