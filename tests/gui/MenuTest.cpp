// Menus, tool buttons and shortcuts of the main window reach their commands.
#include "GuiTestSupport.h"

#include "app/BatchListWidget.h"
#include "app/MainMenu.h"
#include "app/MainWindow.h"
#include "jobs/BatchList.h"
#include "settings/SettingsFile.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>

using namespace moxel;
using namespace moxel::gui;
using moxel::test::GuiTest;
using moxel::test::WindowHandler;

namespace {

std::vector<int> recordCommands(MainWindow& window, const std::function<void()>& act)
{
    std::vector<int> ids;
    auto connection = QObject::connect(&window, &MainWindow::commandRun,
                                       [&ids](CommandId id) { ids.push_back(int(id)); });
    act();
    QObject::disconnect(connection);
    return ids;
}

class MenuTest : public GuiTest {};

constexpr int kSubmenu = -1; // an entry that opens a submenu

TEST_F(MenuTest, EveryMenuItemRunsItsCommand)
{
    MainWindow window;
    window.timer().stop();
    WindowHandler dismissAll(moxel::test::dismiss);

    struct Expected {
        QMenu* menu;
        const char* title;
        std::vector<std::pair<const char*, int>> items; // text null: separator
    };
    const MainMenu& menu = window.menu();
    const std::vector<Expected> expected = {
        {menu.fileMenu,
         "&File",
         {{"&Load Batch", 40021},
          {"&Save Batch", 40022},
          {nullptr, 0},
          {"Add S&ource File(s)\tctrl+O", 40009},
          {nullptr, 0},
          {"Import Batch", 40023},
          {"Export Selected", 40024},
          {nullptr, 0},
          {"E&xit\tctrl+Q", 40002}}},
        {menu.miscMenu,
         "&Misc",
         {{"&Encode All", 40014},
          {nullptr, 0},
          {"A&bort All", 40020},
          {"Reset &status for all", 40034},
          {"&Clear completed", 40035},
          {"&Remove All", 40012},
          {nullptr, 0},
          {"&Pause All", 40016},
          {"&Unpause All", 40018},
          {"Pause or resume all\tctrl+shift+P", 41007},
          {nullptr, 0},
          {"Re&try Failed", 41005},
          {"Queue &Log", 41006},
          {"When the queue is &done", kSubmenu}}},
        {menu.queueDoneMenu,
         "When the queue is &done",
         {{"Do &nothing", 41020},
          {"&Notify", 41021},
          {"&Quit Moxel", 41022},
          {"&Suspend", 41023},
          {"Shut &down", 41024},
          {"Run a &command...", 41025}}},
        {menu.selectionMenu,
         "&Selection",
         {{"&Encode selected\tctrl+E", 40013},
          {"A&bort selected\tctrl+B", 40019},
          {"Reset &status for selected", 40033},
          {"&Remove Selected", 40011},
          {nullptr, 0},
          {"Change &profile", 40026},
          {"Change output &filename", 40027},
          {"Change output pat&h", 40032},
          {nullptr, 0},
          {"Select &All\tctrl+A", 40028},
          {"&Deselect All\tctrl+D", 40029},
          {nullptr, 0},
          {"Move &Up\tctrl+Up", 41001},
          {"Move Do&wn\tctrl+Down", 41002},
          {"Show &Log", 41003},
          {"&Open Output Folder", 41004}}},
        {menu.toolsMenu,
         "&Tools",
         {{"&Preferences\tctrl+P", 40001}, {"Profile &Manager\tctrl+M", 40004}}},
        {menu.helpMenu, "&Help", {{"&About...", 40003}}},
    };

    QList<QAction*> bar = window.menuBar()->actions();
    ASSERT_EQ(bar.size(), 5);
    for (size_t m = 0; m < expected.size(); ++m) {
        const Expected& want = expected[m];
        if (want.menu != menu.queueDoneMenu) {
            EXPECT_EQ(bar[int(m < 2 ? m : m - 1)]->menu(), want.menu);
        }
        EXPECT_EQ(want.menu->title().toStdString(), want.title);
        const QList<QAction*> actions = want.menu->actions();
        ASSERT_EQ(size_t(actions.size()), want.items.size()) << want.title;
        for (size_t i = 0; i < want.items.size(); ++i) {
            QAction* action = actions[int(i)];
            const auto& [text, id] = want.items[i];
            if (!text) {
                EXPECT_TRUE(action->isSeparator()) << want.title << " entry " << i;
                continue;
            }
            EXPECT_EQ(action->text().toStdString(), text);
            if (id == kSubmenu) {
                EXPECT_EQ(action->menu(), menu.queueDoneMenu);
                continue;
            }
            // Triggering it runs its command (boxes it opens are dismissed).
            std::vector<int> ran = recordCommands(window, [action] { action->trigger(); });
            EXPECT_EQ(ran, std::vector<int>{id}) << text;
        }
    }
    // Exit was answered with Cancel: the window is still there.
    EXPECT_FALSE(window.hasShutDown());
}

TEST_F(MenuTest, ToolButtonsShowIconsAndTipsAndRunTheirCommands)
{
    MainWindow window;
    window.timer().stop();
    WindowHandler dismissAll(moxel::test::dismiss);
    const std::pair<CommandId, const char*> buttons[] = {
        {CommandId::AddSourcesButton, "Add Source Files"},
        {CommandId::RemoveSelectedButton, "Remove Selected"},
        {CommandId::EncodeSelectedButton, "Encode Selected"},
        {CommandId::AbortSelectedButton, "Abort Selected"},
        {CommandId::ProfileManagerButton, "Profile Manager"},
        {CommandId::PreferencesButton, "Preferences"},
    };
    for (const auto& [id, tip] : buttons) {
        QToolButton* button = window.button(id);
        ASSERT_NE(button, nullptr) << tip;
        EXPECT_EQ(button->toolTip().toStdString(), tip);
        EXPECT_FALSE(button->icon().isNull());
        std::vector<int> ran = recordCommands(window, [button] { button->click(); });
        EXPECT_EQ(ran, std::vector<int>{int(id)}) << tip;
    }
    // Add Source Files opened the open-files dialog, Preferences its dialog.
    EXPECT_EQ(dismissAll.handled(), 2);
}

TEST_F(MenuTest, ShortcutsWorkWhileTheListHasTheFocus)
{
    keepQueue({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
    MainWindow window;
    window.timer().stop();
    window.show();
    // A dismissed box gives the activation back; wait for it before each key.
    auto focusList = [&window] {
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        window.list()->setFocus();
    };
    WindowHandler dismissAll(moxel::test::dismiss);

    const std::pair<Qt::Key, int> keys[] = {
        {Qt::Key_A, 40030}, {Qt::Key_B, 40019}, {Qt::Key_D, 40031}, {Qt::Key_E, 40013},
        {Qt::Key_M, 40004}, {Qt::Key_O, 40009}, {Qt::Key_P, 40001}, {Qt::Key_Q, 40002},
    };
    for (const auto& [key, id] : keys) {
        focusList();
        std::vector<int> ran = recordCommands(window, [&window, key = key] {
            QTest::keyClick(window.list(), key, Qt::ControlModifier);
        });
        EXPECT_EQ(ran, std::vector<int>{id})
            << "Ctrl+" << QKeySequence(key).toString().toStdString();
    }

    // Ctrl+A and Ctrl+D act on the batch list as Select All and Deselect All.
    focusList();
    QTest::keyClick(window.list(), Qt::Key_A, Qt::ControlModifier);
    window.batch().syncFromView();
    EXPECT_EQ(window.batch().selectedCount(), 3);
    QTest::keyClick(window.list(), Qt::Key_D, Qt::ControlModifier);
    window.batch().syncFromView();
    EXPECT_EQ(window.batch().selectedCount(), 0);
    window.runCommand(CommandId::SelectAll);
    window.batch().syncFromView();
    EXPECT_EQ(window.batch().selectedCount(), 3);
}

} // namespace
