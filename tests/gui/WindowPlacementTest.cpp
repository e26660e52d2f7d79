// A window kept from a bigger screen, or from one that has gone, comes back
// within the screen it lands on.
#include "GuiTestSupport.h"

#include "app/MainWindow.h"
#include "app/WindowPlacement.h"
#include "settings/SettingsFile.h"

#include <QGuiApplication>
#include <QScreen>

#include <ostream>

// Rectangles in failure messages as x,y wxh.
void PrintTo(const QRect& rect, std::ostream* out)
{
    *out << rect.x() << "," << rect.y() << " " << rect.width() << "x" << rect.height();
}

using namespace moxel;
using namespace moxel::gui;
using moxel::test::GuiTest;

namespace {

class WindowPlacementTest : public GuiTest {};

TEST(WindowFit, MovedAndShrunkIntoTheAreaButNotBelowTheMinimum)
{
    const QRect area(0, 30, 1280, 770); // a panel above
    const QSize minimum(400, 300);
    struct Case {
        QRect wanted, expected;
    } cases[] = {
        {{20, 40, 750, 400}, {20, 40, 750, 400}},       // fits: left alone
        {{100, 100, 1920, 1200}, {0, 30, 1280, 770}},   // from a bigger screen
        {{1000, 600, 750, 400}, {530, 400, 750, 400}},  // past the right and bottom
        {{-500, -20, 750, 400}, {0, 30, 750, 400}},     // past the left and top
        {{3000, 2000, 750, 400}, {530, 400, 750, 400}}, // on a screen that has gone
        {{100, 100, 300, 200}, {100, 100, 400, 300}},   // the minimum still holds
    };
    for (const Case& c : cases)
        EXPECT_EQ(WindowPlacement::fitInto(c.wanted, area, minimum), c.expected) << c.wanted.x();
    // An area smaller than the minimum: its top left corner.
    EXPECT_EQ(WindowPlacement::fitInto({50, 50, 750, 400}, {10, 10, 300, 200}, minimum),
              QRect(10, 10, 400, 300));
}

TEST_F(WindowPlacementTest, ASavedPlaceOutsideTheScreenComesBackWithinIt)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QRect& saved :
         {QRect(-4000, -3000, 750, 400), QRect(area.right() - 100, area.bottom() - 50, 750, 400),
          QRect(10, 10, area.width() * 2, area.height() * 3)}) {
        settings().setInt("m_x", saved.x());
        settings().setInt("m_y", saved.y());
        settings().setInt("m_width", saved.width());
        settings().setInt("m_height", saved.height());
        MainWindow window;
        window.timer().stop();
        const QRect placed(window.pos(), window.size());
        EXPECT_TRUE(area.contains(placed)) << saved.x() << "," << saved.y();
        EXPECT_EQ(placed.size(), saved.size().boundedTo(area.size()));
    }
}

} // namespace
