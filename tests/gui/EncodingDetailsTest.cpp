// Encoding Details as opened by Add Source Files: what it shows, and the
// destinations it gives the new jobs.
#include "GuiTestSupport.h"

#include "app/BatchListWidget.h"
#include "app/ChangeFilenameDialog.h"
#include "app/ChangeProfileDialog.h"
#include "app/EncodingDetailsDialog.h"
#include "app/MainWindow.h"
#include "app/ProfileListBox.h"
#include "jobs/BatchCommands.h"
#include "jobs/BatchList.h"
#include "settings/SettingsFile.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace moxel;
using namespace moxel::gui;
using moxel::test::GuiTest;
using moxel::test::WindowHandler;

namespace {

class EncodingDetailsTest : public GuiTest {
  protected:
    // Adds paths; fill edits the dialog, then its OK button is clicked
    // (or, with closeBox, its window closed).
    bool add(MainWindow& window, const std::vector<std::string>& paths,
             const std::function<void(EncodingDetailsDialog&)>& fill, bool closeBox = false)
    {
        WindowHandler answer([&](QWidget* widget) {
            auto* dialog = qobject_cast<EncodingDetailsDialog*>(widget);
            ASSERT_NE(dialog, nullptr);
            fill(*dialog);
            if (closeBox)
                dialog->close();
            else
                moxel::test::clickButton(dialog, "OK");
        });
        return window.commands().addSources(paths);
    }

    std::vector<std::string> destinations(MainWindow& window) const
    {
        std::vector<std::string> dests;
        for (int i = 0; i < window.batch().count(); ++i)
            dests.push_back(window.batch().job(i).destPath);
        return dests;
    }
};

TEST_F(EncodingDetailsTest, CommonPrefixPatternAndTypedFolder)
{
    MainWindow window;
    window.timer().stop();
    std::string shownPattern, shownFolder;
    bool profileFocused = false;
    ASSERT_TRUE(add(window, {"/e/v/ep1.avi", "/e/v/ep2.avi"}, [&](EncodingDetailsDialog& d) {
        shownPattern = d.nameEdit()->text().toStdString();
        shownFolder = d.folderEdit()->text().toStdString();
        profileFocused = d.focusWidget() == d.profileList();
        d.folderEdit()->setText("/d/out");
    }));
    EXPECT_EQ(shownPattern, "ep*.kmf");
    EXPECT_EQ(shownFolder, "/e/v"); // no last_output_dir yet: the source folder
    EXPECT_TRUE(profileFocused);
    EXPECT_EQ(destinations(window), (std::vector<std::string>{"/d/out/ep1.kmf", "/d/out/ep2.kmf"}));
    EXPECT_EQ(window.list()->topLevelItemCount(), 2);
    EXPECT_EQ(settings().getString("last_output_dir", ""), "/d/out");
    EXPECT_EQ(settings().getString("batch_load_dir", ""), "/e/v");
}

TEST_F(EncodingDetailsTest, TemplatesFolderButtonsAndTheCloseBox)
{
    MainWindow window;
    window.timer().stop();
    settings().setString("last_output_dir", "/previous");

    // A template with '*' keeps each job's varying part.
    ASSERT_TRUE(add(window, {"/e/v/ep1.avi", "/e/v/ep2.avi"}, [](EncodingDetailsDialog& d) {
        d.nameEdit()->setText("show*.kmf");
        d.sourceFolderButton()->click();
    }));
    // One file, a plain name, the previous folder; the close box acts as OK.
    ASSERT_TRUE(add(
        window, {"/e/w/movie.avi"},
        [](EncodingDetailsDialog& d) {
            EXPECT_EQ(d.nameEdit()->text(), "movie.kmf");
            d.nameEdit()->setText("final.kmf");
            d.folderEdit()->setText("/elsewhere");
            d.previousFolderButton()->click();
        },
        true));
    // Two files, a template without '*': the same name for both; a folder
    // that ends in '/' gets no second one.
    ASSERT_TRUE(add(window, {"/e/x/a.avi", "/e/x/b.mov"}, [](EncodingDetailsDialog& d) {
        EXPECT_EQ(d.nameEdit()->text(), "*.kmf");
        d.nameEdit()->setText("same.kmf");
        d.folderEdit()->setText("/o/");
    }));
    EXPECT_EQ(destinations(window),
              (std::vector<std::string>{"/e/v/show1.kmf", "/e/v/show2.kmf", "/e/v/final.kmf",
                                        "/o/same.kmf", "/o/same.kmf"}));
}

TEST_F(EncodingDetailsTest, CancelAndEscapeDropTheNewJobs)
{
    keepQueue({"/v/kept.avi"});
    MainWindow window;
    window.timer().stop();
    {
        WindowHandler cancel([](QWidget* w) { moxel::test::clickButton(w, "Cancel"); });
        EXPECT_FALSE(window.commands().addSources({"/v/new.avi"}));
    }
    {
        WindowHandler escape([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        EXPECT_FALSE(window.commands().addSources({"/v/new.avi"}));
    }
    EXPECT_EQ(window.batch().count(), 1);
    EXPECT_EQ(window.list()->topLevelItemCount(), 1);
}

TEST_F(EncodingDetailsTest, ChangeProfileAndFilenameDialogs)
{
    keepQueue({"/v/a.avi", "/v/b.avi"});
    MainWindow window;
    window.timer().stop();
    window.runCommand(CommandId::SelectAll);

    // Change Profile opens with the shared profile highlighted; the close box is OK.
    int highlighted = -2;
    {
        WindowHandler answer([&](QWidget* w) {
            auto* dialog = qobject_cast<ChangeProfileDialog*>(w);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Change Profile");
            highlighted = dialog->highlightedProfile();
            dialog->close();
        });
        window.runCommand(CommandId::ChangeProfile);
        EXPECT_EQ(answer.handled(), 1);
    }
    EXPECT_EQ(highlighted, 0);

    // Two selected: "Please select only one item..."
    QString oops;
    {
        WindowHandler answer([&](QWidget* w) {
            oops = w->windowTitle() + ": " + w->findChild<QLabel*>("qt_msgbox_label")->text();
            moxel::test::dismiss(w);
        });
        window.runCommand(CommandId::ChangeFilename);
    }
    EXPECT_EQ(oops, "Oops: Please select only one item...");

    // One selected: the edit holds its file name and is focused.
    window.runCommand(CommandId::DeselectAll);
    window.list()->setSelected(1, true);
    {
        WindowHandler answer([&](QWidget* w) {
            auto* dialog = qobject_cast<ChangeFilenameDialog*>(w);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->nameEdit()->text(), "b.avi.kmf");
            EXPECT_EQ(dialog->focusWidget(), dialog->nameEdit());
            dialog->nameEdit()->setText("renamed.kmf");
            moxel::test::clickButton(dialog, "OK");
        });
        window.runCommand(CommandId::ChangeFilename);
    }
    EXPECT_EQ(window.batch().job(1).destPath, "/v/renamed.kmf");
    EXPECT_EQ(window.batch().job(0).destPath, "/v/a.avi.kmf");
}

} // namespace
