// A job that fails says why without holding anything up: its message goes to
// the main window's message window and into the job (the Status tooltip),
// and the queue goes on. How jobs ended survives a restart of the program.
#include "GuiTestSupport.h"

#include "app/BatchListWidget.h"
#include "app/GuiPrompt.h"
#include "app/MainWindow.h"
#include "app/MessageWindow.h"
#include "app/QueueFile.h"
#include "jobs/BatchFile.h"
#include "jobs/BatchList.h"
#include "settings/SettingsFile.h"
#include "support/ClipWriter.h"

#include <QApplication>
#include <QListWidget>

#include <filesystem>

using namespace moxel;
using namespace moxel::gui;
using moxel::test::GuiTest;
using moxel::test::WindowHandler;

namespace {

class JobMessagesTest : public GuiTest {
  protected:
    std::string clip(const std::string& name, int frames)
    {
        moxel::test::ClipSpec spec;
        spec.frameCount = frames;
        std::string error;
        EXPECT_TRUE(moxel::test::writeClip(file(name), spec, &error)) << error;
        return file(name);
    }
};

std::string statusTip(MainWindow& window, int row)
{
    return window.list()
        ->topLevelItem(row)
        ->data(int(BatchColumn::Status), Qt::ToolTipRole)
        .toString()
        .toStdString();
}

TEST_F(JobMessagesTest, AFailedJobIsListedInTheMainWindowsMessageWindowAndTheQueueGoesOn)
{
    const std::string missing = file("missing.avi");
    keepQueue({missing, clip("second.avi", 5), clip("third.avi", 5)});
    settings().setInt("confirmquit", 0);
    MainWindow window;
    window.show();
    // Nothing may wait for an answer: any modal window is counted and let go.
    WindowHandler modal([](QWidget* box) { moxel::test::dismiss(box); });

    window.runCommand(CommandId::EncodeAll);
    auto status = [&](int row) { return window.list()->cellText(row, BatchColumn::Status); };
    ASSERT_TRUE(moxel::test::runEventsUntil([&] {
        return status(2).rfind("complete [", 0) == 0 && status(1).rfind("complete [", 0) == 0;
    })) << status(0)
        << " / " << status(1) << " / " << status(2);
    EXPECT_EQ(status(0), "error");
    EXPECT_EQ(modal.handled(), 0);

    const std::string message = "Error: DirectShow: error opening input file/stream:\n" + missing;
    MessageWindow* messages = window.prompt().messageWindow();
    ASSERT_NE(messages, nullptr);
    EXPECT_EQ(messages->parentWidget(), &window);
    EXPECT_TRUE(messages->isVisible());
    EXPECT_FALSE(messages->isModal());
    ASSERT_EQ(messages->count(), 1);
    EXPECT_EQ(messages->list()->item(0)->text().toStdString(), message);

    EXPECT_EQ(window.batch().job(0).workerBlock.log.errorText(), message);
    EXPECT_EQ(statusTip(window, 0), message);
    EXPECT_EQ(statusTip(window, 1), "");
    window.close();
    EXPECT_TRUE(window.hasShutDown());
}

TEST_F(JobMessagesTest, HowJobsEndedComesBackAfterARestartAndEncodeTakesUpTheRest)
{
    const std::string done = clip("done.avi", 3);
    const std::string missing = file("missing.avi");
    const std::string declined = clip("declined.avi", 3);
    moxel::test::writeFileText(declined + ".kmf", "kept as it is");
    const std::string running = clip("running.avi", 1500);
    keepQueue({done, missing, declined, running});
    settings().setInt("confirmquit", 0);

    std::string errorText;
    {
        MainWindow window;
        WindowHandler decline([](QWidget* box) { moxel::test::clickButton(box, "No"); },
                              GuiPrompt::kFileExistsName);
        window.runCommand(CommandId::EncodeAll);
        ASSERT_TRUE(moxel::test::runEventsUntil(
            [&] { return window.batch().job(3).statusValue() == JobStatus::Encoding; }));
        EXPECT_EQ(window.batch().job(0).statusValue(), JobStatus::Complete);
        EXPECT_EQ(window.batch().job(1).statusValue(), JobStatus::Error);
        EXPECT_EQ(window.batch().job(2).statusValue(), JobStatus::Skipped);
        errorText = window.batch().job(1).workerBlock.log.errorText();
        EXPECT_FALSE(errorText.empty());
        window.close(); // the running job is stopped by the closing
        ASSERT_TRUE(window.hasShutDown());
    }
    // The queue file itself stays in the format every version reads.
    const std::string queue = moxel::test::readFileText(file(QueueFile::kFileName));
    const ParsedBatchFile parsed = parseBatchFile(queue);
    EXPECT_TRUE(parsed.problems.empty());
    EXPECT_EQ(parsed.entries.size(), 4u);

    MainWindow again;
    again.timer().stop();
    BatchList& batch = again.batch();
    ASSERT_EQ(batch.count(), 4);
    EXPECT_EQ(batch.job(0).statusValue(), JobStatus::Complete);
    EXPECT_EQ(again.list()->cellText(0, BatchColumn::Status).rfind("complete [", 0), 0u);
    EXPECT_EQ(batch.job(1).statusValue(), JobStatus::Error);
    EXPECT_EQ(batch.job(1).workerBlock.log.errorText(), errorText);
    EXPECT_EQ(statusTip(again, 1), errorText);
    EXPECT_EQ(batch.job(2).statusValue(), JobStatus::Skipped);
    EXPECT_EQ(batch.job(3).statusValue(), JobStatus::Idle); // was running: not done
    EXPECT_EQ(again.list()->cellText(3, BatchColumn::Status), "");

    again.runCommand(CommandId::EncodeAll);
    EXPECT_EQ(batch.job(0).statusValue(), JobStatus::Complete);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(batch.job(i).statusValue(), JobStatus::Queued) << i;
    again.runCommand(CommandId::AbortAll);
}

} // namespace
