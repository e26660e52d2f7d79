// What the window shows of a queue that runs: the Status cell's bar at the
// column's default width, the queue's progress in the status bar and the
// title, the Meta column once a job has opened its source, and cells whose
// text does not fit.
#include "GuiTestSupport.h"

#include "app/BatchListWidget.h"
#include "app/GuiPrompt.h"
#include "app/MainWindow.h"
#include "app/QueueMonitor.h"
#include "app/StatusDelegate.h"
#include "jobs/BatchList.h"
#include "settings/SettingsFile.h"
#include "support/ClipWriter.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QProgressBar>
#include <QProxyStyle>
#include <QStyleOptionProgressBar>
#include <QTest>
#include <QToolTip>

using namespace moxel;
using namespace moxel::gui;
using moxel::test::GuiTest;
using Clock = std::chrono::steady_clock;

namespace {

class ProgressViewTest : public GuiTest {};

// Keeps what the list asks to be drawn as progress bars.
class BarRecorder : public QProxyStyle {
  public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_ProgressBar)
            if (const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option))
                bars.push_back({bar->rect, bar->progress, bar->maximum, bar->text});
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    struct Bar {
        QRect rect;
        int progress, maximum;
        QString text;
    };
    mutable std::vector<Bar> bars;
};

// A job as its worker leaves it: running with this much media converted.
void runAt(BatchJob& job, JobStatus status, double lengthSeconds, double doneSeconds,
           uint32_t frames)
{
    job.workerBlock.durationMs = int32_t(lengthSeconds * 1000);
    job.progress = int32_t(doneSeconds * 20000);
    job.workerBlock.framesProduced = frames;
    job.setStatus(status);
}

TEST_F(ProgressViewTest, TheStatusCellDrawsPercentAndTimeLeftAtTheDefaultWidth)
{
    keepQueue({"/v/a.avi", "/v/b.avi"});
    MainWindow window;
    window.timer().stop();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    BatchListWidget& list = *window.list();
    const int statusColumn = int(BatchColumn::Status);
    ASSERT_EQ(list.columnWidth(statusColumn), 100);

    BatchJob& job = window.batch().job(0);
    runAt(job, JobStatus::Encoding, 8.0, 2.0, 0);
    window.batch().scheduleNext(); // the status text, "encoding [00:02]"
    const Clock::time_point start = Clock::now();
    window.monitor().update(start);
    runAt(job, JobStatus::Encoding, 8.0, 4.0, 100);
    window.monitor().update(start + std::chrono::seconds(6)); // 6 s for 4 s: 6 s left

    BarRecorder recorder;
    list.setStyle(&recorder);
    list.viewport()->grab();
    list.setStyle(nullptr);
    ASSERT_EQ(recorder.bars.size(), 1u); // the idle job has no bar
    const BarRecorder::Bar& bar = recorder.bars.front();
    EXPECT_EQ(bar.progress * 2, bar.maximum);
    EXPECT_TRUE(bar.text.contains("50%")) << bar.text.toStdString();
    EXPECT_TRUE(bar.text.contains("0:06")) << bar.text.toStdString();
    EXPECT_LE(list.fontMetrics().horizontalAdvance(bar.text), bar.rect.width());
    EXPECT_GE(bar.rect.width(), 90);

    // Given the room, the bar says everything.
    const QModelIndex cell = list.model()->index(0, statusColumn);
    EXPECT_EQ(StatusDelegate::barText(list.fontMetrics(), 1000, cell).toStdString(),
              "encoding [00:02] · 50% · 0:06 left");
    EXPECT_EQ(StatusDelegate::barText(list.fontMetrics(), 10, cell).toStdString(), "50%");
}

TEST_F(ProgressViewTest, StatusBarAndTitleFollowTheRunOverEveryRunningJob)
{
    keepQueue({"/v/a.avi", "/v/b.avi", "/v/c.avi", "/v/old.avi"});
    MainWindow window;
    window.timer().stop();
    BatchList& batch = window.batch();
    QueueMonitor& monitor = window.monitor();
    // Finished before the run: not part of it.
    runAt(batch.job(3), JobStatus::Complete, 10.0, 10.0, 250);
    batch.job(3).workerBlock.workerDone = 1;
    monitor.update();
    EXPECT_EQ(window.windowTitle().toStdString(), "Moxel");
    EXPECT_FALSE(window.progressLabel()->isVisibleTo(&window));

    // Two jobs at once and one waiting, 10 s of media each.
    const Clock::time_point start = Clock::now();
    runAt(batch.job(0), JobStatus::Encoding, 10.0, 0.0, 0);
    runAt(batch.job(1), JobStatus::Encoding, 10.0, 0.0, 0);
    runAt(batch.job(2), JobStatus::Queued, 10.0, 0.0, 0);
    monitor.update(start);
    EXPECT_EQ(window.progressLabel()->text().toStdString(), "0 of 3 done · 0%");
    EXPECT_EQ(window.windowTitle().toStdString(), "0% Moxel");

    // After 2 s: 2.5 s and 5 s of media, 50 and 100 frames.
    runAt(batch.job(0), JobStatus::Encoding, 10.0, 2.5, 50);
    runAt(batch.job(1), JobStatus::Encoding, 10.0, 5.0, 100);
    monitor.update(start + std::chrono::seconds(2));
    // 7.5 of 30 s done at 3.75 s of media a second: 22.5 s of media in 6 s.
    EXPECT_EQ(window.progressLabel()->text().toStdString(),
              "0 of 3 done · 25% · 0:06 left · 75 fps");
    EXPECT_EQ(window.windowTitle().toStdString(), "25% Moxel");
    EXPECT_EQ(window.progressBar()->value(), 25);
    EXPECT_TRUE(window.progressLabel()->isVisibleTo(&window));

    // One ends, the other pauses: no speed while nothing encodes.
    runAt(batch.job(0), JobStatus::Complete, 10.0, 10.0, 250);
    runAt(batch.job(1), JobStatus::Paused, 10.0, 5.0, 100);
    monitor.update(start + std::chrono::seconds(3));
    // 15 s of media left at 15 s in 3 s.
    EXPECT_EQ(window.progressLabel()->text().toStdString(), "1 of 3 done · 50% · 0:03 left");
    EXPECT_EQ(window.windowTitle().toStdString(), "50% Moxel");

    // All through: idle again.
    runAt(batch.job(1), JobStatus::Complete, 10.0, 10.0, 250);
    runAt(batch.job(2), JobStatus::Error, 10.0, 0.0, 0);
    monitor.update(start + std::chrono::seconds(4));
    EXPECT_EQ(window.windowTitle().toStdString(), "Moxel");
    EXPECT_FALSE(window.progressLabel()->isVisibleTo(&window));
    EXPECT_EQ(monitor.progressText().toStdString(), "");
}

TEST_F(ProgressViewTest, MetaShowsTheSourceOnceItsJobHasOpenedIt)
{
    moxel::test::ClipSpec spec;
    spec.fpsNum = 30000;
    spec.fpsDen = 1001;
    spec.frameCount = 60; // 2 s
    std::string error;
    const std::string clip = file("clip.avi");
    ASSERT_TRUE(moxel::test::writeClip(clip, spec, &error)) << error;
    keepQueue({clip});
    MainWindow window;
    BatchListWidget& list = *window.list();
    auto meta = [&] { return list.cellText(0, BatchColumn::Meta); };
    EXPECT_EQ(meta(), "");

    list.setSelected(0, true);
    window.runCommand(CommandId::EncodeSelected);
    ASSERT_TRUE(moxel::test::runEventsUntil([&] { return window.batch().job(0).isSettled(); }));
    window.monitor().update();
    EXPECT_EQ(window.batch().job(0).statusValue(), JobStatus::Complete);
    EXPECT_EQ(meta(), "0:02 · 160x120 · 29.97 fps");
    EXPECT_EQ(list.topLevelItem(0)->toolTip(int(BatchColumn::Meta)).toStdString(), meta());
    // The list rebuilt by a command keeps it.
    window.runCommand(CommandId::SelectAll);
    EXPECT_EQ(meta(), "0:02 · 160x120 · 29.97 fps");
    settings().setInt("confirmquit", 0);
    window.close();
}

TEST_F(ProgressViewTest, LongNamesAreElidedWithTheFullTextInATooltip)
{
    const std::string source = "/videos/" + std::string(90, 'a') + "/the-end-of-the-name.avi";
    keepQueue({source});
    MainWindow window;
    window.timer().stop();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    BatchListWidget& list = *window.list();
    EXPECT_EQ(list.textElideMode(), Qt::ElideMiddle);
    QTreeWidgetItem* item = list.topLevelItem(0);
    ASSERT_GT(list.fontMetrics().horizontalAdvance(item->text(0)), list.columnWidth(0));

    const QRect cell = list.visualItemRect(item);
    QHelpEvent help(QEvent::ToolTip, QPoint(cell.left() + 20, cell.center().y()),
                    list.viewport()->mapToGlobal(QPoint(cell.left() + 20, cell.center().y())));
    QApplication::sendEvent(list.viewport(), &help);
    EXPECT_EQ(QToolTip::text().toStdString(), source);
    QToolTip::hideText();
    EXPECT_EQ(item->toolTip(int(BatchColumn::Dest)).toStdString(), source + ".kmf");
    EXPECT_EQ(item->toolTip(int(BatchColumn::Profile)).toStdString(), "(Default)");
}

TEST_F(ProgressViewTest, SourceStatusAndMetaShareTheRoomLeftAndTheUsersWidthsAreKept)
{
    keepQueue({"/v/a.avi"});
    MainWindow window;
    window.timer().stop();
    window.resize(1100, 400);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    BatchListWidget& list = *window.list();
    const std::array<int, 5> saved{200, 200, 120, 100, 200};
    EXPECT_EQ(list.columnWidths(), saved);
    const int room = list.viewport()->width() - 820;
    ASSERT_GT(room, 30);
    EXPECT_NEAR(list.columnWidth(0), 200 + room / 3, 1);
    EXPECT_EQ(list.columnWidth(1), 200);
    EXPECT_EQ(list.columnWidth(2), 120);
    EXPECT_NEAR(list.columnWidth(3), 100 + room / 3, 1);
    EXPECT_NEAR(list.columnWidth(4), 200 + room / 3, 1);
    int sum = 0;
    for (int column = 0; column < 5; ++column)
        sum += list.columnWidth(column);
    EXPECT_EQ(sum, list.viewport()->width());

    // A column dragged wider keeps what the user gave it.
    list.header()->resizeSection(1, 260);
    EXPECT_EQ(list.columnWidth(1), 260);
    EXPECT_EQ(list.columnWidths()[1], 260);
    // Narrower than the columns' sum: nothing stretches.
    window.resize(500, 400);
    EXPECT_EQ(list.columnWidth(0), 200);
    EXPECT_EQ(list.columnWidth(3), 100);
    EXPECT_EQ(list.columnWidth(4), 200);
    settings().setInt("confirmquit", 0);
    window.close();
    EXPECT_EQ(settings().getInt("main_col2", 0), 260);
    EXPECT_EQ(settings().getInt("main_col1", 0), 200);
}

} // namespace
