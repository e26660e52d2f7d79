// Closing the main window, what reaches the disk, and the queue kept across
// restarts.
#include "GuiTestSupport.h"

#include "app/BatchListWidget.h"
#include "app/DesktopProgram.h"
#include "app/EncodingDetailsDialog.h"
#include "app/GuiPrompt.h"
#include "app/MainWindow.h"
#include "jobs/BatchCommands.h"
#include "jobs/BatchList.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <filesystem>

using namespace moxel;
using namespace moxel::gui;
using moxel::test::GuiTest;
using moxel::test::WindowHandler;

namespace {

class ShutDownTest : public GuiTest {};

TEST_F(ShutDownTest, CloseAsksFirstAndCancelKeepsTheWindow)
{
    MainWindow window;
    window.timer().stop();
    window.show();
    int closed = 0;
    QObject::connect(&window, &MainWindow::closed, [&] { ++closed; });
    QString question;
    {
        WindowHandler cancel([&](QWidget* box) {
            question =
                box->windowTitle() + ": " + box->findChild<QLabel*>("qt_msgbox_label")->text();
            moxel::test::clickButton(box, "Cancel");
        });
        window.runCommand(CommandId::Exit);
    }
    EXPECT_EQ(question, "Close Moxel: Closing this window will quit Moxel.");
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.hasShutDown());
    EXPECT_EQ(closed, 0);

    {
        WindowHandler ok([](QWidget* box) { moxel::test::clickButton(box, "OK"); });
        window.close();
    }
    EXPECT_TRUE(window.hasShutDown());
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(window.timer().isActive());
}

TEST_F(ShutDownTest, WithoutConfirmQuitTheWindowClosesAtOnce)
{
    settings().setInt("confirmquit", 0);
    MainWindow window;
    window.show();
    WindowHandler none([](QWidget* box) { moxel::test::dismiss(box); });
    window.close();
    EXPECT_TRUE(window.hasShutDown());
    EXPECT_EQ(none.handled(), 0);
}

TEST_F(ShutDownTest, SettingsProfilesAndQueueAreWrittenAtExit)
{
    settings().setInt("confirmquit", 0);
    settings().flush();
    keepQueue({"/v/a.avi"});
    QTimer::singleShot(0, [] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<MainWindow*>(top)) {
                window->list()->setColumnWidth(2, 77);
                window->close();
            }
    });
    EXPECT_EQ(runMainWindow(programFile()), 0);

    const std::string ini = moxel::test::readFileText(file("moxel.ini"));
    EXPECT_EQ(ini.rfind("[config]\r\n", 0), 0u);
    for (const char* line : {"main_col1=200\r\n", "main_col3=77\r\n", "main_col5=200\r\n",
                             "confirmquit=0\r\n", "m_width="})
        EXPECT_NE(ini.find(line), std::string::npos) << line;
    EXPECT_TRUE(std::filesystem::exists(file("Profiles/index.txt")));
    EXPECT_EQ(moxel::test::readFileText(file("queue.txt")),
              "/v/a.avi\t/v/a.avi.kmf\t(Default)\r\n");
}

TEST_F(ShutDownTest, TheQueueIsKeptAfterEveryChangeAndComesBackNotDone)
{
    {
        MainWindow window;
        window.timer().stop();
        const std::string in = file("in");
        std::filesystem::create_directory(in);
        moxel::test::writeFileText(in + "/one.avi", "");
        moxel::test::writeFileText(in + "/two.avi", "");
        WindowHandler answer([&](QWidget* w) {
            if (auto* files = qobject_cast<QFileDialog*>(w)) {
                files->setDirectory(QString::fromStdString(in));
                files->selectFile("\"one.avi\" \"two.avi\"");
                static_cast<QDialog*>(files)->accept();
            } else if (auto* details = qobject_cast<EncodingDetailsDialog*>(w)) {
                details->folderEdit()->setText("/out");
                moxel::test::clickButton(w, "OK");
            }
        });
        window.runCommand(CommandId::AddSources);
        EXPECT_EQ(answer.names(),
                  (std::vector<QString>{"openFilesDialog", "encodingDetailsDialog"}));
        // On disk already, before any orderly exit.
        EXPECT_EQ(moxel::test::readFileText(file("queue.txt")),
                  in + "/one.avi\t/out/one.kmf\t(Default)\r\n" + in +
                      "/two.avi\t/out/two.kmf\t(Default)\r\n");
        window.runCommand(CommandId::EncodeAll);
        window.list()->setSelected(0, true);
        window.runCommand(CommandId::RemoveSelected);
        EXPECT_EQ(moxel::test::readFileText(file("queue.txt")),
                  in + "/two.avi\t/out/two.kmf\t(Default)\r\n");
    }
    MainWindow again;
    again.timer().stop();
    ASSERT_EQ(again.batch().count(), 1);
    EXPECT_EQ(again.batch().job(0).sourcePath, file("in") + "/two.avi");
    EXPECT_EQ(again.batch().job(0).statusValue(), JobStatus::Idle);
    EXPECT_EQ(again.list()->cellText(0, BatchColumn::Profile), "(Default)");
}

TEST_F(ShutDownTest, TheTimerStartsQueuedJobsOneAfterAnother)
{
    keepQueue({file("missing-1.avi"), file("missing-2.avi")});
    MainWindow window;
    // A source that cannot be opened says so in the job messages window,
    // never in a box that would hold its worker up.
    WindowHandler errors([](QWidget* box) { moxel::test::dismiss(box); },
                         GuiPrompt::kMessageBoxName);
    window.runCommand(CommandId::EncodeAll);
    EXPECT_EQ(window.list()->cellText(0, BatchColumn::Status), "queued [#1]");
    EXPECT_EQ(window.list()->cellText(1, BatchColumn::Status), "queued [#2]");
    ASSERT_TRUE(moxel::test::runEventsUntil(
        [&] { return window.list()->cellText(1, BatchColumn::Status) == "error"; }));
    EXPECT_EQ(window.list()->cellText(0, BatchColumn::Status), "error");
    EXPECT_EQ(errors.handled(), 0);
}

} // namespace
