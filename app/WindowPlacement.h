// Remembers a window's position and size in the settings under keys made
// from a name: "<name>_x", "_y", "_width", "_height" and "_maximized". The
// main window uses the name "m" with 20, 20, 750 x 400 as defaults.
//
// The size kept is the window's inner size (what resize() sets), so a
// window comes back exactly as large as it was, whatever its frame. A stored
// maximized state is recorded but not applied when the window is restored.
// A window stored on a bigger screen, or on one that has gone, comes back
// moved and shrunk into the free area of the screen it lands on (of the
// primary screen when it lands on none).
#pragma once

#include <QRect>

#include <string>

class QWidget;

namespace moxel {
class SettingsFile;
}

namespace moxel::gui {

class WindowPlacement {
  public:
    struct Defaults {
        int x, y, width, height;
    };

    WindowPlacement(std::string name, Defaults defaults)
        : m_name(std::move(name)), m_defaults(defaults)
    {
    }

    // Moves and sizes the window as stored, within its screen, without
    // activating it. A stored width or height below 1 leaves the window as it is.
    void restore(QWidget& window, const SettingsFile& settings) const;
    // After a move: the position, unless maximized or minimized.
    void recordMove(const QWidget& window, SettingsFile& settings) const;
    // After a size change or a change of the maximized state.
    void recordSize(const QWidget& window, SettingsFile& settings) const;

    // wanted moved and shrunk to lie within available, but not made smaller
    // than minimum (then its top left corner is available's).
    static QRect fitInto(const QRect& wanted, const QRect& available, const QSize& minimum);
    // The free area (without panels and docks) of the screen that holds most
    // of rect, or of the primary screen; empty without any screen.
    static QRect availableAreaFor(const QRect& rect);

  private:
    std::string key(const char* suffix) const { return m_name + suffix; }

    std::string m_name;
    Defaults m_defaults;
};

} // namespace moxel::gui
