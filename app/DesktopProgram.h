// Start-up and shut-down of the desktop program, in this order: the video
// tables; the application object; the program folders and settings; the main
// window, which loads the profile store; the event loop; then, once the main
// window has closed, the settings and the profile index are written last.
#pragma once

#include <string>

namespace moxel::gui {

// The whole program.
int runDesktopProgram(int& argc, char** argv);

// Names the application object for the desktop (application name, desktop
// file, window icon). No display name is set: the desktop would append it to
// every window title, and each window's title is exactly its own text.
void nameApplication();

// Everything after the application object exists: settings, main window,
// event loop, settings written. programFile is the program file the folders
// are found from; empty means the running program's own file.
int runMainWindow(const std::string& programFile = {});

} // namespace moxel::gui
