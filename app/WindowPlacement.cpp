#include "app/WindowPlacement.h"

#include "settings/SettingsFile.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace moxel::gui {

QRect WindowPlacement::fitInto(const QRect& wanted, const QRect& available, const QSize& minimum)
{
    const int width = std::max(std::min(wanted.width(), available.width()), minimum.width());
    const int height = std::max(std::min(wanted.height(), available.height()), minimum.height());
    // Past the right or bottom edge first, so that a window larger than the
    // area keeps its top left corner on it.
    int x = std::min(wanted.x(), available.x() + available.width() - width);
    int y = std::min(wanted.y(), available.y() + available.height() - height);
    x = std::max(x, available.x());
    y = std::max(y, available.y());
    return QRect(x, y, width, height);
}

QRect WindowPlacement::availableAreaFor(const QRect& rect)
{
    QScreen* best = nullptr;
    long long bestArea = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->geometry().intersected(rect);
        const long long area = common.isEmpty() ? 0 : (long long)common.width() * common.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    if (!best)
        best = QGuiApplication::primaryScreen();
    return best ? best->availableGeometry() : QRect();
}

void WindowPlacement::restore(QWidget& window, const SettingsFile& settings) const
{
    const int width = settings.getInt(key("_width"), m_defaults.width);
    const int height = settings.getInt(key("_height"), m_defaults.height);
    const int x = settings.getInt(key("_x"), m_defaults.x);
    const int y = settings.getInt(key("_y"), m_defaults.y);
    if (width < 1 || height < 1)
        return;
    QRect placed(x, y, width, height);
    const QRect available = availableAreaFor(placed);
    if (!available.isEmpty())
        placed = fitInto(placed, available, window.minimumSize());
    window.move(placed.topLeft());
    window.resize(placed.size());
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
