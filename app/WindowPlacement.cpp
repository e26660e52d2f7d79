#include "app/WindowPlacement.h"

#include "settings/SettingsFile.h"

#include <QWidget>

namespace moxel::gui {

void WindowPlacement::restore(QWidget& window, const SettingsFile& settings) const
{
    const int width = settings.getInt(key("_width"), m_defaults.width);
    const int height = settings.getInt(key("_height"), m_defaults.height);
    const int x = settings.getInt(key("_x"), m_defaults.x);
    const int y = settings.getInt(key("_y"), m_defaults.y);
    if (width < 1 || height < 1)
        return;
    window.move(x, y);
    window.resize(width, height);
}

void WindowPlacement::recordMove(const QWidget& window, SettingsFile& settings) const
{
    if (window.isMaximized() || window.isMinimized())
        return;
    settings.setInt(key("_x"), window.x());
    settings.setInt(key("_y"), window.y());
}

void WindowPlacement::recordSize(const QWidget& window, SettingsFile& settings) const
{
    if (window.isMaximized())
        settings.setInt(key("_maximized"), 1);
    else if (!window.isMinimized())
        settings.setInt(key("_maximized"), 0);
    if (settings.getInt(key("_maximized"), 0) == 0 && !window.isMaximized() &&
        !window.isMinimized()) {
        settings.setInt(key("_width"), window.width());
        settings.setInt(key("_height"), window.height());
    }
}

} // namespace moxel::gui
