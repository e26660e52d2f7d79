// The batch list in the main window: the right-click rule, columns, size.
#include "GuiTestSupport.h"

#include "app/BatchListWidget.h"
#include "app/MainWindow.h"
#include "jobs/BatchList.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTest>

using namespace moxel;
using namespace moxel::gui;
using moxel::test::GuiTest;

namespace {

class ListWidgetTest : public GuiTest {
  protected:
    std::vector<int> selectedRows(const BatchListWidget& list) const
    {
        std::vector<int> rows;
        for (int row = 0; row < list.rowCount(); ++row)
            if (list.isSelected(row))
                rows.push_back(row);
        return rows;
    }

    void rightClick(BatchListWidget& list, QPoint at) const
    {
        QTest::mouseClick(list.viewport(), Qt::RightButton, {}, at);
    }

    QPoint rowCentre(BatchListWidget& list, int row) const
    {
        return list.visualItemRect(list.topLevelItem(row)).center();
    }
};

TEST_F(ListWidgetTest, RightClickSelectsAnUnselectedRowAloneAndOpensTheSelectionMenu)
{
    keepQueue({"/v/a.avi", "/v/b.avi", "/v/c.avi", "/v/d.avi"});
    MainWindow window;
    window.timer().stop();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    BatchListWidget& list = *window.list();
    QMenu* menu = window.menu().selectionMenu;
    ASSERT_EQ(list.rowCount(), 4);

    // Over a selected row: the selection stays as it is.
    for (int row : {0, 1, 2})
        list.setSelected(row, true);
    rightClick(list, rowCentre(list, 1));
    EXPECT_EQ(selectedRows(list), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(QApplication::activePopupWidget(), menu);
    menu->hide();

    // Over a row that is not selected: that row alone.
    rightClick(list, rowCentre(list, 3));
    EXPECT_EQ(selectedRows(list), (std::vector<int>{3}));
    EXPECT_EQ(QApplication::activePopupWidget(), menu);
    menu->hide();

    // Below the last row: nothing at all.
    rightClick(list, QPoint(20, list.viewport()->height() - 3));
    EXPECT_EQ(selectedRows(list), (std::vector<int>{3}));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // The menu's commands act on that selection.
    window.runCommand(CommandId::EncodeSelected);
    EXPECT_EQ(window.batch().job(3).statusValue(), JobStatus::Queued);
    EXPECT_EQ(window.batch().job(0).statusValue(), JobStatus::Idle);
}

TEST_F(ListWidgetTest, ColumnsComeFromTheSettingsWithTheirFloor)
{
    settings().setInt("main_col1", 5);
    settings().setInt("main_col4", 150);
    MainWindow window;
    window.timer().stop();
    const BatchListWidget& list = *window.list();
    QStringList headers;
    for (int column = 0; column < list.columnCount(); ++column)
        headers << list.headerItem()->text(column);
    EXPECT_EQ(headers, (QStringList{"Source", "Dest", "Profile", "Status", "Meta"}));
    EXPECT_EQ(list.columnWidths(), (std::array<int, 5>{16, 200, 120, 150, 200}));
    EXPECT_EQ(list.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(ListWidgetTest, WindowComesBackWhereItWasAndNotBelowItsMinimum)
{
    settings().setInt("m_x", 40);
    settings().setInt("m_y", 30);
    settings().setInt("m_width", 640);
    settings().setInt("m_height", 350);
    {
        MainWindow window;
        window.timer().stop();
        EXPECT_EQ(window.pos(), QPoint(40, 30));
        EXPECT_EQ(window.size(), QSize(640, 350));
        EXPECT_EQ(window.minimumSize(), QSize(400, 300));
        EXPECT_EQ(window.windowTitle(), "Moxel");
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.resize(100, 100);
        EXPECT_EQ(window.size(), QSize(400, 300));
        EXPECT_EQ(settings().getInt("m_width", 0), 400);
        EXPECT_EQ(settings().getInt("m_height", 0), 300);
        // The list keeps its margins as the window grows.
        const QRect before = window.list()->geometry();
        window.resize(700, 500);
        const QRect after = window.list()->geometry();
        EXPECT_EQ(after.topLeft(), before.topLeft());
        EXPECT_EQ(after.width() - before.width(), 300);
        EXPECT_EQ(after.height() - before.height(), 200);
    }
    // A stored width of 0 leaves the window at its own size.
    settings().setInt("m_width", 0);
    MainWindow window;
    window.timer().stop();
    EXPECT_GE(window.width(), 400);
    EXPECT_NE(window.width(), 0);
}

} // namespace
