// Which profile file a moxel-cli run uses: the --profile value when it names
// a file or a profile of the profile store, otherwise the bundled sample
// profile that lies in the "samples" folder beside the program.
#pragma once

#include <string>

namespace moxel {
class ProfileStore;
}

namespace moxel::cli {

// The file name of the bundled default (VP8 640x360 with MP3).
inline constexpr const char* kBundledProfileName = "streaming-vp8-640x360.pf";

// programFolder + "/samples/" + kBundledProfileName.
std::string bundledProfilePath(const std::string& programFolder);

// The profile file for the run; empty with a message in error when there is
// none (the named file does not exist or is a folder, or the bundled file is
// missing). A name that is no file may still be a profile of the store:
// storeProfilePath, whose failure the same message covers.
std::string chooseProfile(const std::string& requested, const std::string& programFolder,
                          std::string& error);

// The file of the store's profile that requested names: its name exactly,
// else its name in any letter case, else its position as --list-profiles
// shows it. Empty when none matches.
std::string storeProfilePath(const std::string& requested, const ProfileStore& store);

} // namespace moxel::cli
