// Queue control in the main window: moving jobs by keys and by drag,
// Delete, pause or resume, Retry Failed, Open Output Folder, the logs, and
// what happens when the queue is done.
#include "GuiTestSupport.h"

#include "app/BatchListWidget.h"
#include "app/GuiPrompt.h"
#include "app/JobLogWindow.h"
#include "app/MainWindow.h"
#include "app/QueueCommands.h"
#include "app/QueueDoneAction.h"
#include "app/QueueLog.h"
#include "app/QueueLogWindow.h"
#include "app/QueueMonitor.h"
#include "jobs/BatchList.h"
#include "settings/SettingsFile.h"
#include "support/ClipWriter.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>

#include <filesystem>

using namespace moxel;
using namespace moxel::gui;
using moxel::test::GuiTest;
using moxel::test::WindowHandler;

namespace {

class QueueControlTest : public GuiTest {
  protected:
    std::string order(MainWindow& window) const
    {
        std::string out;
        for (int i = 0; i < window.batch().count(); ++i)
            out += (i ? " " : "") +
                   std::filesystem::path(window.batch().job(i).sourcePath).filename().string();
        return out;
    }
    std::vector<int> selectedRows(MainWindow& window) const
    {
        std::vector<int> rows;
        for (int row = 0; row < window.list()->rowCount(); ++row)
            if (window.list()->isSelected(row))
                rows.push_back(row);
        return rows;
    }
    void focusList(MainWindow& window) const
    {
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        window.list()->setFocus();
    }
    void key(MainWindow& window, Qt::Key k, Qt::KeyboardModifiers modifiers = {}) const
    {
        focusList(window);
        QTest::keyClick(window.list(), k, modifiers);
    }
};

// What the queue's end did, instead of doing it.
struct RecordingHooks : QueueDoneHooks {
    void notify(const QString& title, const QString& text) override
    {
        calls.push_back("notify " + title.toStdString() + ": " + text.toStdString());
    }
    void quit() override { calls.push_back("quit"); }
    bool suspend(QString*) override
    {
        calls.push_back("suspend");
        return true;
    }
    bool powerOff(QString* error) override
    {
        calls.push_back("power off");
        *error = "not allowed";
        return false;
    }
    bool runCommand(const QString& command, QString*) override
    {
        calls.push_back("run " + command.toStdString());
        return true;
    }
    std::vector<std::string> calls;
};

TEST_F(QueueControlTest, KeysMoveRemoveAndPauseWhileTheListHasTheFocus)
{
    keepQueue({file("a.avi"), file("b.avi"), file("c.avi"), file("d.avi")});
    MainWindow window;
    window.timer().stop();
    window.show();
    BatchList& batch = window.batch();
    BatchListWidget& list = *window.list();

    list.setSelected(2, true);
    list.setFocused(2);
    key(window, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(order(window), "a.avi c.avi b.avi d.avi");
    key(window, Qt::Key_Up, Qt::ControlModifier);
    key(window, Qt::Key_Up, Qt::ControlModifier); // at the top already
    EXPECT_EQ(order(window), "c.avi a.avi b.avi d.avi");
    EXPECT_EQ(selectedRows(window), std::vector<int>{0});
    EXPECT_EQ(list.currentItem(), list.topLevelItem(0));
    key(window, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(order(window), "a.avi c.avi b.avi d.avi");
    EXPECT_EQ(selectedRows(window), std::vector<int>{1});
    // The new order is the kept queue's.
    EXPECT_NE(moxel::test::readFileText(file("queue.txt")).find("a.avi"), std::string::npos);
    EXPECT_LT(moxel::test::readFileText(file("queue.txt")).find("a.avi"),
              moxel::test::readFileText(file("queue.txt")).find("c.avi"));

    // Delete removes the selected jobs, but not one that is running.
    batch.job(3).setStatus(JobStatus::Encoding);
    list.setSelected(3, true);
    key(window, Qt::Key_Delete);
    EXPECT_EQ(order(window), "a.avi b.avi d.avi");

    // One key pauses what runs and resumes it.
    key(window, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(batch.job(2).statusValue(), JobStatus::Paused);
    key(window, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(batch.job(2).statusValue(), JobStatus::Encoding);
    batch.job(2).setStatus(JobStatus::Idle);
}

TEST_F(QueueControlTest, DraggingRowsWithinTheListMovesTheirJobs)
{
    keepQueue({file("a.avi"), file("b.avi"), file("c.avi"), file("d.avi")});
    MainWindow window;
    window.timer().stop();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    BatchListWidget& list = *window.list();
    QWidget* viewport = list.viewport();
    list.setSelected(0, true);
    list.setSelected(1, true);

    // Dropped on the lower half of d: after it.
    const QRect last = list.visualItemRect(list.topLevelItem(3));
    const QPoint at(last.center().x(), last.bottom() - 1);
    std::unique_ptr<QMimeData> data(list.rowsData({0, 1}));
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drop);
    // Not a move for the drag itself, which would take the rows out.
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    ASSERT_TRUE(moxel::test::runEventsUntil([&] {
        return order(window) == "c.avi d.avi a.avi b.avi";
    })) << order(window);
    EXPECT_EQ(selectedRows(window), (std::vector<int>{2, 3}));

    // Rows of another list, or of another program, are not taken for ours.
    QMimeData foreign;
    foreign.setData(BatchListWidget::kRowsMimeType, "1:2 0 1");
    QDropEvent other(viewport->rect().topLeft() + QPoint(2, 2), Qt::MoveAction, &foreign,
                     Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &other);
    EXPECT_FALSE(other.isAccepted());
    QApplication::processEvents();
    EXPECT_EQ(order(window), "c.avi d.avi a.avi b.avi");
}

TEST_F(QueueControlTest, RetryFailedAndOpenOutputFolder)
{
    const std::string out = file("out");
    std::filesystem::create_directories(out);
    moxel::test::writeFileText(
        file("queue.txt"), file("a.avi") + "\t" + out + "/a.kmf\t(Default)\r\n" + file("b.avi") +
                               "\t" + file("gone") + "/b.kmf\t(Default)\r\n" + file("c.avi") +
                               "\tqz:host:1:head.txt\t(Default)\r\n" + file("d.avi") +
                               "\tqz:host:1:head.txt+" + out + "/copy.kmf\t(Default)\r\n");
    MainWindow window;
    window.timer().stop();
    BatchList& batch = window.batch();
    for (int i : {0, 2}) {
        batch.job(i).setStatus(i == 0 ? JobStatus::Error : JobStatus::Aborted);
        batch.job(i).workerBlock.workerDone = 1;
    }
    window.runCommand(CommandId::RetryFailed);
    EXPECT_EQ(window.list()->cellText(0, BatchColumn::Status), "queued [#1]");
    EXPECT_EQ(window.list()->cellText(2, BatchColumn::Status), "queued [#2]");
    EXPECT_EQ(batch.job(1).statusValue(), JobStatus::Idle);
    window.runCommand(CommandId::ResetAll);

    std::vector<QUrl> opened;
    window.queueCommands().setUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    std::vector<std::string> boxes;
    WindowHandler answer([&](QWidget* box) {
        boxes.push_back(box->windowTitle().toStdString() + ": " +
                        box->findChild<QLabel*>("qt_msgbox_label")->text().toStdString());
        moxel::test::dismiss(box);
    });
    window.runCommand(CommandId::OpenOutputFolder);
    for (int row : {0, 3, 1, 2}) {
        window.runCommand(CommandId::DeselectAll);
        window.list()->setSelected(row, true);
        window.runCommand(CommandId::OpenOutputFolder);
    }
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromStdString(out)));
    EXPECT_EQ(opened[1], opened[0]); // the stream's local copy
    EXPECT_EQ(boxes,
              (std::vector<std::string>{
                  "Oops: Please select something first...",
                  "Open Output Folder: The output folder does not exist yet:\n" + file("gone"),
                  "Open Output Folder: This job sends its output to a stream server and "
                  "keeps no copy:\nqz:host:1:head.txt"}));
}

TEST_F(QueueControlTest, LogsShowEachJobsRunAndTheQueuesStartsEndsAndErrors)
{
    moxel::test::ClipSpec spec;
    spec.frameCount = 3;
    std::string error;
    const std::string good = file("good.avi"), missing = file("missing.avi");
    ASSERT_TRUE(moxel::test::writeClip(good, spec, &error)) << error;
    keepQueue({missing, good, file("idle.avi")});
    settings().setInt("confirmquit", 0);
    MainWindow window;
    window.show();
    WindowHandler noBoxes([](QWidget* box) { moxel::test::dismiss(box); });
    BatchListWidget& list = *window.list();
    list.setSelected(0, true);
    list.setSelected(1, true);
    window.runCommand(CommandId::EncodeSelected);
    ASSERT_TRUE(moxel::test::runEventsUntil(
        [&] { return window.batch().job(1).isSettled() && window.batch().job(0).isSettled(); }));
    window.timer().stop();
    window.runCommand(CommandId::DeselectAll);

    const std::string message = "Error: DirectShow: error opening input file/stream:\n" + missing;
    std::vector<std::string> lines;
    for (const QueueLogEntry& entry : window.queueCommands().log().entries())
        lines.push_back(QueueLog::format(entry).mid(21).toStdString()); // less the time
    ASSERT_EQ(lines.size(), 4u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "started  " + missing + " → " + missing + ".kmf");
    EXPECT_EQ(lines[1], "error    " + missing +
                            ": Error: DirectShow: error opening input "
                            "file/stream:  " +
                            missing);
    EXPECT_EQ(lines[2], "started  " + good + " → " + good + ".kmf");
    EXPECT_EQ(lines[3].rfind("complete " + good + ", took 0:0", 0), 0u) << lines[3];

    window.runCommand(CommandId::QueueLog);
    QueueLogWindow* queueLog = window.queueCommands().queueLogWindow();
    ASSERT_NE(queueLog, nullptr);
    EXPECT_TRUE(queueLog->isVisible());
    EXPECT_FALSE(queueLog->isModal());
    EXPECT_EQ(queueLog->text()->document()->blockCount(), 4);

    // A double-click on a job that ended opens its log; on an idle one nothing.
    // (A widget's double-click in the test tool lacks the press before it.)
    auto doubleClick = [&](int row) {
        const QPoint at = list.visualItemRect(list.topLevelItem(row)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick(2);
    EXPECT_EQ(window.queueCommands().logWindow(window.batch().job(2)), nullptr);
    doubleClick(0);
    JobLogWindow* failedLog = window.queueCommands().logWindow(window.batch().job(0));
    ASSERT_NE(failedLog, nullptr);
    EXPECT_TRUE(failedLog->isVisible());
    EXPECT_TRUE(failedLog->text()->isReadOnly());
    const QString failedText = failedLog->text()->toPlainText();
    EXPECT_TRUE(failedText.contains("Status: error\n"));
    EXPECT_TRUE(failedText.contains(QString::fromStdString("Messages:\n" + message)));

    // Show Log on the selected job: its counters and lines.
    window.runCommand(CommandId::DeselectAll);
    list.setSelected(1, true);
    window.runCommand(CommandId::ShowLog);
    JobLogWindow* goodLog = window.queueCommands().logWindow(window.batch().job(1));
    ASSERT_NE(goodLog, nullptr);
    const QString goodText = goodLog->text()->toPlainText();
    EXPECT_TRUE(goodText.contains("Status: complete [")) << goodText.toStdString();
    EXPECT_TRUE(goodText.contains("pictures_written: 3")) << goodText.toStdString();
    EXPECT_FALSE(goodText.contains("Messages:"));
    EXPECT_EQ(noBoxes.handled(), 0);

    // A job that leaves the list: its window says so.
    const BatchJob* record = &window.batch().job(1);
    window.runCommand(CommandId::RemoveSelected);
    goodLog->refresh();
    EXPECT_TRUE(goodLog->text()->toPlainText().endsWith("(The job has left the list.)"));

    // Its record, taken by a new job, gets a window of its own.
    BatchJob& added = window.batch().appendJob();
    added.sourcePath = file("new.avi");
    ASSERT_EQ(&added, record);
    window.batch().rebuildView();
    window.runCommand(CommandId::DeselectAll);
    list.setSelected(2, true);
    window.runCommand(CommandId::ShowLog);
    JobLogWindow* newLog = window.queueCommands().logWindow(added);
    ASSERT_NE(newLog, nullptr);
    EXPECT_NE(newLog, goodLog);
    EXPECT_TRUE(newLog->text()->toPlainText().contains(QString::fromStdString(file("new.avi"))));
    EXPECT_TRUE(newLog->text()->toPlainText().contains("has not run yet"));
}

class QueueDoneTest : public QueueControlTest {
  protected:
    // Two jobs run one after the other and end; true when nothing was done
    // before the last one ended.
    bool runQueue(MainWindow& window)
    {
        BatchList& batch = window.batch();
        auto set = [&](int i, JobStatus s) {
            batch.job(i).setStatus(s);
            batch.job(i).workerBlock.workerDone = statusRow(s).outcome ? 1 : 0;
        };
        set(0, JobStatus::Encoding);
        set(1, JobStatus::Queued);
        window.monitor().update();
        set(0, JobStatus::Complete);
        set(1, JobStatus::Initializing);
        window.monitor().update();
        set(1, JobStatus::Encoding);
        window.monitor().update();
        const bool quiet = hooks.calls.empty() && !window.queueCommands().doneAction().counting();
        set(1, JobStatus::Error);
        window.monitor().update();
        return quiet;
    }
    void choose(MainWindow& window, CommandId id)
    {
        window.runCommand(id);
        window.queueCommands().doneAction().setCountdownSeconds(1);
    }
    RecordingHooks hooks;
};

TEST_F(QueueDoneTest, EachChoiceActsOnceWhenTheLastJobEnds)
{
    keepQueue({"/v/a.avi", "/v/b.avi"});
    MainWindow window;
    window.timer().stop();
    window.queueCommands().doneAction().setHooks(hooks);
    window.queueCommands().setCommandAsker([](const QString&) { return QString("touch /tmp/x"); });

    // Notify is the default, and at once.
    EXPECT_EQ(window.queueCommands().doneAction().choice(), QueueDoneChoice::Notify);
    EXPECT_TRUE(runQueue(window));
    EXPECT_EQ(hooks.calls,
              std::vector<std::string>{"notify " + std::string(QueueDoneAction::kNotifyTitle) +
                                       ": 1 complete, 1 error"});

    const std::pair<CommandId, const char*> choices[] = {
        {CommandId::DoneQuit, "quit"},
        {CommandId::DoneSuspend, "suspend"},
        {CommandId::DoneShutDown, "power off"},
        {CommandId::DoneRunCommand, "run touch /tmp/x"},
    };
    for (const auto& [id, call] : choices) {
        hooks.calls.clear();
        choose(window, id);
        EXPECT_TRUE(runQueue(window)) << call;
        // The countdown shows first; nothing is done until it ends.
        QueueDoneAction& done = window.queueCommands().doneAction();
        ASSERT_TRUE(done.counting()) << call;
        ASSERT_NE(done.countdownWindow(), nullptr);
        EXPECT_TRUE(done.countdownWindow()->isVisible());
        EXPECT_TRUE(hooks.calls.empty());
        ASSERT_TRUE(moxel::test::runEventsUntil([&] { return !done.counting(); }));
        EXPECT_EQ(hooks.calls, std::vector<std::string>{call});
        window.monitor().update();
        EXPECT_EQ(hooks.calls.size(), 1u) << call;
    }
    // What was done, and what failed, is in the queue log.
    std::vector<std::string> notes;
    for (const QueueLogEntry& entry : window.queueCommands().log().entries())
        if (entry.kind == QueueLogEntry::Kind::Note)
            notes.push_back(entry.text.toStdString());
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "The queue is done: Moxel quits.",
                         "The queue is done: the computer suspends.",
                         "The queue is done: the computer shuts down.",
                         "That could not be done: not allowed",
                         "The queue is done: running touch /tmp/x",
                     }));

    hooks.calls.clear();
    choose(window, CommandId::DoneNothing);
    EXPECT_TRUE(runQueue(window));
    EXPECT_FALSE(window.queueCommands().doneAction().counting());
    EXPECT_TRUE(hooks.calls.empty());
}

TEST_F(QueueDoneTest, TheChoiceIsKeptAndCancelOrAbortStopsIt)
{
    keepQueue({"/v/a.avi", "/v/b.avi"});
    {
        MainWindow window;
        window.timer().stop();
        window.runCommand(CommandId::DoneShutDown);
    }
    EXPECT_EQ(settings().getString("done_action", ""), "shutdown");
    MainWindow window;
    window.timer().stop();
    window.queueCommands().doneAction().setHooks(hooks);
    for (QAction* action : window.menu().queueDoneMenu->actions())
        EXPECT_EQ(action->isChecked(), commandOf(*action) == CommandId::DoneShutDown)
            << action->text().toStdString();

    // Cancel in the countdown window.
    QueueDoneAction& done = window.queueCommands().doneAction();
    done.setCountdownSeconds(5);
    EXPECT_TRUE(runQueue(window));
    ASSERT_TRUE(done.counting());
    QDialog* countdown = done.countdownWindow();
    ASSERT_NE(countdown, nullptr);
    EXPECT_EQ(countdown->objectName().toStdString(), QueueDoneAction::kCountdownName);
    EXPECT_TRUE(countdown->findChild<QLabel*>()->text().contains("shuts down in 5 s"));
    moxel::test::clickButton(countdown, "Cancel");
    EXPECT_FALSE(done.counting());
    QTest::qWait(1200);
    EXPECT_TRUE(hooks.calls.empty());

    // A queue ended by the user's Abort: nothing either.
    window.batch().job(0).setStatus(JobStatus::Idle);
    window.runCommand(CommandId::AbortAll);
    BatchList& batch = window.batch();
    batch.job(0).setStatus(JobStatus::Encoding);
    window.monitor().update();
    batch.job(0).setStatus(JobStatus::Aborted);
    batch.job(0).workerBlock.workerDone = 1;
    window.monitor().update();
    EXPECT_FALSE(done.counting());
    EXPECT_TRUE(hooks.calls.empty());

    // Run a command without one: it asks, and Cancel leaves the choice.
    window.queueCommands().setCommandAsker([](const QString&) { return std::nullopt; });
    window.runCommand(CommandId::DoneRunCommand);
    EXPECT_EQ(done.choice(), QueueDoneChoice::ShutDown);
}

} // namespace
