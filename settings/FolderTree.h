// Makes a folder together with its missing parents. Used by start-up for the
// settings folders and by the job start for missing output folders.
#pragma once

#include <string>

namespace moxel {

// Creates path and every missing folder above it, the highest first. True
// when path is a folder afterwards; false when something is in the way (a
// file of that name, for instance) or a folder could not be made.
bool createFolderTree(const std::string& path);

} // namespace moxel
