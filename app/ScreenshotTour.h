// A look at every window for the documentation: when the program is started
// with MOXEL_SCREENSHOTS set to a folder, it opens the main window and then
// each dialog in turn, saves a picture of each into that folder as PNG and
// quits. Not meant for users; scripts/screenshots runs it under Xvfb.
#pragma once

#include <QString>

namespace moxel::gui {

class MainWindow;

// Starts the tour once the event loop runs. The window closes at its end.
void startScreenshotTour(MainWindow& window, const QString& folder);

} // namespace moxel::gui
