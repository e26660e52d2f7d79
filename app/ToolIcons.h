// The icons of the main window's tool buttons and of the program, drawn at
// run time so that they ship with the program and look the same on every
// desktop, at 16 x 16 pixels and at twice that for dense screens.
#pragma once

#include <QIcon>

namespace moxel::gui {

enum class ToolIcon {
    AddSources,     // a page with a plus
    RemoveSelected, // a page with a cross
    EncodeSelected, // a play triangle
    AbortSelected,  // a stop square
    ProfileManager, // a stack of cards
    Preferences,    // a row of sliders
    Program,        // the program's own icon (a film frame with a play mark)
};

QIcon toolIcon(ToolIcon which);

} // namespace moxel::gui
