// The Preferences dialog against the settings it reads and writes.
#include "GuiTestSupport.h"

#include "app/PreferencesDialog.h"
#include "settings/ProgramFolders.h"
#include "settings/SettingsFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>

using namespace moxel;
using namespace moxel::gui;
using moxel::test::GuiTest;

namespace {

class PreferencesTest : public GuiTest {
  protected:
    // Opens the dialog, lets change edit it, then ends it with finish.
    void edit(const std::function<void(PreferencesDialog&)>& change,
              const std::function<void(PreferencesDialog&)>& finish)
    {
        PreferencesDialog dialog(programFolders());
        dialog.show();
        change(dialog);
        finish(dialog);
        EXPECT_FALSE(dialog.isVisible());
    }
};

TEST_F(PreferencesTest, DefaultsShowAndOkStoresEveryKey)
{
    edit(
        [](PreferencesDialog& d) {
            EXPECT_EQ(d.windowTitle(), "Preferences");
            EXPECT_EQ(d.priorityBox()->count(), 3);
            EXPECT_EQ(d.priorityBox()->currentText(), "normal (recommended)");
            EXPECT_FALSE(d.overwriteBox()->isChecked());
            EXPECT_FALSE(d.createFoldersBox()->isChecked());
            EXPECT_TRUE(d.confirmQuitBox()->isChecked());
            EXPECT_TRUE(d.assumeFpsBox()->isChecked());
            EXPECT_EQ(d.assumedFpsEdit()->text(), "30.000");
            EXPECT_EQ(d.jobsAtOnceBox()->value(), 1);
            d.jobsAtOnceBox()->setValue(3);
            d.priorityBox()->setCurrentIndex(2);
            d.overwriteBox()->setChecked(true);
            d.confirmQuitBox()->setChecked(false);
            d.assumeFpsBox()->setChecked(false);
            d.assumedFpsEdit()->setText("25");
        },
        [](PreferencesDialog& d) { moxel::test::clickButton(&d, "OK"); });
    EXPECT_EQ(settings().getInt("prefs_priority", 99), -2);
    EXPECT_EQ(settings().getString("prefs_jobs", ""), "3");
    EXPECT_EQ(settings().getString("prefs_overwrite", ""), "1");
    EXPECT_EQ(settings().getString("prefs_mkdir", ""), "0");
    EXPECT_EQ(settings().getString("confirmquit", ""), "0");
    EXPECT_EQ(settings().getString("assumefps", ""), "0");
    EXPECT_EQ(settings().getString("assumefps_val", ""), "25");
    EXPECT_FALSE(programFolders().assumeFpsEnabled.load());
    EXPECT_DOUBLE_EQ(programFolders().assumedFps.load(), 25.0);
}

TEST_F(PreferencesTest, UnknownPriorityIsKeptAndTheRateIsStoredAsTyped)
{
    settings().setInt("prefs_priority", 1);
    edit(
        [](PreferencesDialog& d) {
            EXPECT_EQ(d.priorityBox()->currentIndex(), -1);
            d.assumedFpsEdit()->setText("abc");
        },
        [](PreferencesDialog& d) { moxel::test::clickButton(&d, "OK"); });
    EXPECT_EQ(settings().getInt("prefs_priority", 99), 1);
    EXPECT_EQ(settings().getString("assumefps_val", ""), "abc");
    EXPECT_DOUBLE_EQ(programFolders().assumedFps.load(), 0.0);
}

// Jobs at once: a number typed into the file beyond what the box offers is
// kept, and one below 1 is shown and stored as 1.
TEST_F(PreferencesTest, JobsAtOnceKeepsALargeNumberAndMendsOneBelowOne)
{
    settings().setInt("prefs_jobs", 40);
    edit([](PreferencesDialog& d) { EXPECT_EQ(d.jobsAtOnceBox()->value(), 40); },
         [](PreferencesDialog& d) { moxel::test::clickButton(&d, "OK"); });
    EXPECT_EQ(settings().getInt("prefs_jobs", 0), 40);
    settings().setInt("prefs_jobs", -2);
    edit([](PreferencesDialog& d) { EXPECT_EQ(d.jobsAtOnceBox()->value(), 1); },
         [](PreferencesDialog& d) { moxel::test::clickButton(&d, "OK"); });
    EXPECT_EQ(settings().getInt("prefs_jobs", 0), 1);
}

TEST_F(PreferencesTest, CloseBoxSavesCancelAndEscapeDoNot)
{
    edit([](PreferencesDialog& d) { d.createFoldersBox()->setChecked(true); },
         [](PreferencesDialog& d) { d.close(); });
    EXPECT_EQ(settings().getString("prefs_mkdir", ""), "1");

    edit([](PreferencesDialog& d) { d.createFoldersBox()->setChecked(false); },
         [](PreferencesDialog& d) { moxel::test::clickButton(&d, "Cancel"); });
    edit([](PreferencesDialog& d) { d.assumedFpsEdit()->setText("12"); },
         [](PreferencesDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    EXPECT_EQ(settings().getString("prefs_mkdir", ""), "1");
    EXPECT_EQ(settings().getString("assumefps_val", ""), "30.000");
}

} // namespace
