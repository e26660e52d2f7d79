// File moves and copies of the profile manager. None of them leaves a
// half-written file behind: the bytes go to a temporary file in the target's
// folder first, and only a complete file takes the target's name.
#pragma once

#include <string>

namespace moxel::gui {

// Renames from to to, failing when to exists (a file, a folder or anything
// else): a rename must never replace a file that no listed profile owns.
// Renaming a path onto itself succeeds and changes nothing, also when
// nothing lies there.
bool renameWithoutReplacing(const std::string& from, const std::string& to);
// Copies the file from to to, failing when to exists.
bool copyWithoutReplacing(const std::string& from, const std::string& to);
// Copies the file from to to, replacing to when it exists.
bool copyReplacing(const std::string& from, const std::string& to);

} // namespace moxel::gui
