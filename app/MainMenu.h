// The main window's menu bar and keyboard shortcuts, built from tables.
//
// Menu items show their shortcut after a tab, as "&Encode selected\tctrl+E".
// The shortcuts themselves are a separate table of window-wide actions, so
// that they work wherever the focus is inside the main window, including the
// list; a shortcut and its menu item may carry different ids for one action.
#pragma once

#include "app/CommandId.h"

#include <QList>

#include <functional>

class QAction;
class QMainWindow;
class QMenu;

namespace moxel::gui {

struct MainMenu {
    QMenu* fileMenu = nullptr;
    QMenu* miscMenu = nullptr;
    QMenu* queueDoneMenu = nullptr; // "When the queue is done", in Misc; checkable items
    QMenu* selectionMenu = nullptr; // also the list's context menu
    QMenu* toolsMenu = nullptr;
    QMenu* helpMenu = nullptr;
    QList<QAction*> shortcuts;
};

// Fills window's menu bar and adds the shortcuts to window; every item and
// shortcut calls run with its id.
MainMenu buildMainMenu(QMainWindow& window, const std::function<void(CommandId)>& run);

// The command id an action was made for (menu item or shortcut).
CommandId commandOf(const QAction& action);

} // namespace moxel::gui
