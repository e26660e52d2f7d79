#include "app/ProfileManagerHook.h"

namespace moxel::gui {

namespace {

ProfileManagerOpener g_opener = nullptr;

} // namespace

void setProfileManagerOpener(ProfileManagerOpener opener)
{
    g_opener = opener;
}

ProfileManagerOpener profileManagerOpener()
{
    return g_opener;
}

} // namespace moxel::gui
