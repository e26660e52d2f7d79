#include "app/MainMenu.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace moxel::gui {

namespace {

// One entry of a menu: an item, or a separator when text is null.
struct MenuEntry {
    const char* text;
    CommandId id;
};
constexpr MenuEntry kSeparator{nullptr, CommandId::About};

struct Shortcut {
    Qt::Key key;
    CommandId id;
};

using C = CommandId;

const MenuEntry kFile[] = {
    {"&Load Batch", C::LoadBatch},
    {"&Save Batch", C::SaveBatch},
    kSeparator,
    {"Add S&ource File(s)\tctrl+O", C::AddSources},
    kSeparator,
    {"Import Batch", C::ImportBatch},
    {"Export Selected", C::ExportSelected},
    kSeparator,
    {"E&xit\tctrl+Q", C::Exit},
};
const MenuEntry kMisc[] = {
    {"&Encode All", C::EncodeAll},
    kSeparator,
    {"A&bort All", C::AbortAll},
    {"Reset &status for all", C::ResetAll},
    {"&Clear completed", C::ClearCompleted},
    {"&Remove All", C::RemoveAll},
    kSeparator,
    {"&Pause All", C::PauseAll},
    {"&Unpause All", C::UnpauseAll},
};
const MenuEntry kSelection[] = {
    {"&Encode selected\tctrl+E", C::EncodeSelected},
    {"A&bort selected\tctrl+B", C::AbortSelected},
    {"Reset &status for selected", C::ResetSelected},
    {"&Remove Selected", C::RemoveSelected},
    kSeparator,
    {"Change &profile", C::ChangeProfile},
    {"Change output &filename", C::ChangeFilename},
    {"Change output pat&h", C::ChangePath},
    kSeparator,
    {"Select &All\tctrl+A", C::SelectAll},
    {"&Deselect All\tctrl+D", C::DeselectAll},
};
const MenuEntry kTools[] = {
    {"&Preferences\tctrl+P", C::Preferences},
    {"Profile &Manager\tctrl+M", C::ProfileManager},
};
const MenuEntry kHelp[] = {
    {"&About...", C::About},
};

const Shortcut kShortcuts[] = {
    {Qt::Key_A, C::SelectAllKey},   {Qt::Key_B, C::AbortSelected},  {Qt::Key_D, C::DeselectAllKey},
    {Qt::Key_E, C::EncodeSelected}, {Qt::Key_M, C::ProfileManager}, {Qt::Key_O, C::AddSources},
    {Qt::Key_P, C::Preferences},    {Qt::Key_Q, C::Exit},
};

const char* const kCommandProperty = "moxelCommand";

template <size_t N>
QMenu* addMenu(QMainWindow& window, const char* title, const MenuEntry (&entries)[N],
               const std::function<void(CommandId)>& run)
{
    QMenu* menu = window.menuBar()->addMenu(title);
    for (const MenuEntry& entry : entries) {
        if (!entry.text) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(entry.text);
        const CommandId id = entry.id;
        action->setProperty(kCommandProperty, int(id));
        QObject::connect(action, &QAction::triggered, &window, [run, id] { run(id); });
    }
    return menu;
}

} // namespace

MainMenu buildMainMenu(QMainWindow& window, const std::function<void(CommandId)>& run)
{
    MainMenu menu;
    menu.fileMenu = addMenu(window, "&File", kFile, run);
    menu.miscMenu = addMenu(window, "&Misc", kMisc, run);
    menu.selectionMenu = addMenu(window, "&Selection", kSelection, run);
    menu.toolsMenu = addMenu(window, "&Tools", kTools, run);
    menu.helpMenu = addMenu(window, "&Help", kHelp, run);
    for (const Shortcut& shortcut : kShortcuts) {
        auto* action = new QAction(&window);
        action->setShortcut(QKeySequence(Qt::CTRL | shortcut.key));
        action->setShortcutContext(Qt::WindowShortcut);
        const CommandId id = shortcut.id;
        action->setProperty(kCommandProperty, int(id));
        QObject::connect(action, &QAction::triggered, &window, [run, id] { run(id); });
        window.addAction(action);
        menu.shortcuts.append(action);
    }
    return menu;
}

CommandId commandOf(const QAction& action)
{
    return CommandId(action.property(kCommandProperty).toInt());
}

} // namespace moxel::gui
