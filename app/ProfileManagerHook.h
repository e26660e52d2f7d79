// Where the profile manager plugs into the main window. The manager lives
// in a part of the program of its own; until it registers here, Profile
// Manager and Edit Profiles have nothing to open.
#pragma once

class QWidget;

namespace moxel {
class BatchList;
class ProfileStore;
} // namespace moxel

namespace moxel::gui {

// Opens the profile manager modal to owner and returns when it is closed.
// It edits the store and renumbers the jobs' profile positions in list when
// it deletes or moves profiles.
using ProfileManagerOpener = void (*)(QWidget* owner, ProfileStore& profiles, BatchList& list);

void setProfileManagerOpener(ProfileManagerOpener opener);
ProfileManagerOpener profileManagerOpener();

} // namespace moxel::gui
