#include "app/MainMenu.h"

#include <QAction>
#include <QActionGroup>
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
    QKeyCombination keys;
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
    // Queue control, after the list's own commands.
    {"Pause or resume all\tctrl+shift+P", C::PauseOrResume},
    kSeparator,
    {"Re&try Failed", C::RetryFailed},
    {"Queue &Log", C::QueueLog},
};
// "When the queue is done": one choice at a time.
const MenuEntry kQueueDone[] = {
    {"Do &nothing", C::DoneNothing}, {"&Notify", C::DoneNotify},
    {"&Quit Moxel", C::DoneQuit},    {"&Suspend", C::DoneSuspend},
    {"Shut &down", C::DoneShutDown}, {"Run a &command...", C::DoneRunCommand},
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
    kSeparator,
    {"Move &Up\tctrl+Up", C::MoveUp},
    {"Move Do&wn\tctrl+Down", C::MoveDown},
    {"Show &Log", C::ShowLog},
    {"&Open Output Folder", C::OpenOutputFolder},
};
const MenuEntry kTools[] = {
    {"&Preferences\tctrl+P", C::Preferences},
    {"Profile &Manager\tctrl+M", C::ProfileManager},
};
const MenuEntry kHelp[] = {
    {"&About...", C::About},
};

const Shortcut kShortcuts[] = {
    {Qt::CTRL | Qt::Key_A, C::SelectAllKey},
    {Qt::CTRL | Qt::Key_B, C::AbortSelected},
    {Qt::CTRL | Qt::Key_D, C::DeselectAllKey},
    {Qt::CTRL | Qt::Key_E, C::EncodeSelected},
    {Qt::CTRL | Qt::Key_M, C::ProfileManager},
    {Qt::CTRL | Qt::Key_O, C::AddSources},
    {Qt::CTRL | Qt::Key_P, C::Preferences},
    {Qt::CTRL | Qt::Key_Q, C::Exit},
    {Qt::CTRL | Qt::Key_Up, C::MoveUp},
    {Qt::CTRL | Qt::Key_Down, C::MoveDown},
    {Qt::CTRL | Qt::SHIFT | Qt::Key_P, C::PauseOrResume},
    {QKeyCombination(Qt::Key_Delete), C::RemoveSelectedKey},
};

const char* const kCommandProperty = "moxelCommand";

template <size_t N>
void addEntries(QMainWindow& window, QMenu* menu, const MenuEntry (&entries)[N],
                const std::function<void(CommandId)>& run)
{
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
}

template <size_t N>
QMenu* addMenu(QMainWindow& window, const char* title, const MenuEntry (&entries)[N],
               const std::function<void(CommandId)>& run)
{
    QMenu* menu = window.menuBar()->addMenu(title);
    addEntries(window, menu, entries, run);
    return menu;
}

} // namespace

MainMenu buildMainMenu(QMainWindow& window, const std::function<void(CommandId)>& run)
{
    MainMenu menu;
    menu.fileMenu = addMenu(window, "&File", kFile, run);
    menu.miscMenu = addMenu(window, "&Misc", kMisc, run);
    menu.queueDoneMenu = menu.miscMenu->addMenu("When the queue is &done");
    addEntries(window, menu.queueDoneMenu, kQueueDone, run);
    auto* choices = new QActionGroup(menu.queueDoneMenu);
    for (QAction* action : menu.queueDoneMenu->actions()) {
        action->setCheckable(true);
        choices->addAction(action);
    }
    menu.selectionMenu = addMenu(window, "&Selection", kSelection, run);
    menu.toolsMenu = addMenu(window, "&Tools", kTools, run);
    menu.helpMenu = addMenu(window, "&Help", kHelp, run);
    for (const Shortcut& shortcut : kShortcuts) {
        auto* action = new QAction(&window);
        action->setShortcut(QKeySequence(shortcut.keys));
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
