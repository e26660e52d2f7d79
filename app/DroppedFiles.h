// What files dropped on the batch list become: each dropped file as it is,
// and for each dropped folder the media files in it and in every folder
// below it, in path order.
#pragma once

#include <string>
#include <vector>

namespace moxel::gui {

std::vector<std::string> expandDroppedPaths(const std::vector<std::string>& dropped);

// A file name whose extension belongs to a video or sound file.
bool hasMediaExtension(const std::string& path);

} // namespace moxel::gui
