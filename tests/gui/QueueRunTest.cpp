// A whole queue under the main window's timer: two jobs convert one after
// the other through the conversion driver, with pause, resume and abort.
#include "GuiTestSupport.h"

#include "app/BatchListWidget.h"
#include "app/GuiPrompt.h"
#include "app/MainWindow.h"
#include "jobs/BatchList.h"
#include "settings/SettingsFile.h"
#include "support/ClipWriter.h"

#include <QSignalSpy>
#include <QTimer>

#include <filesystem>

using namespace moxel;
using namespace moxel::gui;
using moxel::test::GuiTest;
using moxel::test::WindowHandler;

namespace {

class QueueRunTest : public GuiTest {};

TEST_F(QueueRunTest, TwoJobsConvertUnderTheTimerWithPauseResumeAndAbort)
{
    // The first clip is long enough to be caught while it runs.
    moxel::test::ClipSpec longSpec;
    longSpec.frameCount = 1500;
    moxel::test::ClipSpec shortSpec;
    shortSpec.frameCount = 10;
    std::string error;
    const std::string first = file("first.avi"), second = file("second.avi");
    ASSERT_TRUE(moxel::test::writeClip(first, longSpec, &error)) << error;
    ASSERT_TRUE(moxel::test::writeClip(second, shortSpec, &error)) << error;
    keepQueue({first, second, file("third.avi")});
    settings().setInt("confirmquit", 0);

    MainWindow window;
    // A worker's messages go to the job messages window and never wait for
    // anybody; a message box would hold a worker up, and none may appear.
    WindowHandler messages([](QWidget* box) { moxel::test::dismiss(box); },
                           GuiPrompt::kMessageBoxName);
    BatchList& batch = window.batch();
    BatchListWidget& list = *window.list();
    auto status = [&](int row) { return list.cellText(row, BatchColumn::Status); };
    auto statusIs = [&](int row, const char* prefix) { return status(row).rfind(prefix, 0) == 0; };

    // Only the first two are queued; the third stays idle.
    list.setSelected(0, true);
    list.setSelected(1, true);
    window.runCommand(CommandId::EncodeSelected);
    EXPECT_EQ(status(0), "queued [#1]");
    EXPECT_EQ(status(1), "queued [#2]");

    ASSERT_TRUE(moxel::test::runEventsUntil([&] { return statusIs(0, "encoding ["); }))
        << status(0);
    EXPECT_EQ(status(1), "queued [#2]"); // one job at a time

    window.runCommand(CommandId::PauseAll);
    ASSERT_EQ(batch.job(0).statusValue(), JobStatus::Paused);
    EXPECT_TRUE(statusIs(0, "paused ["));
    // Paused, the second job does not start.
    QSignalSpy ticks(&window.timer(), &QTimer::timeout);
    ASSERT_TRUE(moxel::test::runEventsUntil([&] { return ticks.count() >= 3; }));
    EXPECT_EQ(batch.job(1).statusValue(), JobStatus::Queued);

    window.runCommand(CommandId::UnpauseAll);
    EXPECT_EQ(batch.job(0).statusValue(), JobStatus::Encoding);

    window.runCommand(CommandId::DeselectAll);
    list.setSelected(0, true);
    window.runCommand(CommandId::AbortSelected);
    ASSERT_TRUE(moxel::test::runEventsUntil([&] { return status(0) == "aborted by user"; }))
        << status(0);

    // Then the second job runs to its end.
    ASSERT_TRUE(moxel::test::runEventsUntil([&] { return statusIs(1, "complete ["); }))
        << status(1);
    EXPECT_TRUE(std::filesystem::file_size(batch.job(1).destPath) > 0);
    EXPECT_EQ(status(2), "");
    EXPECT_EQ(messages.handled(), 0);
    window.close();
    EXPECT_TRUE(window.hasShutDown());
}

} // namespace
