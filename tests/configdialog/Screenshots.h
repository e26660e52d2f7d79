// Pictures of the profile edit dialog and the encoder configuration dialog
// for the documentation.
#pragma once

#include <string>

namespace moxel::test {

// Writes profile-editor.png and encoder-configuration.png into folder.
bool saveScreenshots(const std::string& folder);

} // namespace moxel::test
