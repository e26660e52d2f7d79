// What the window adds to the list: progress of a running job, the queue's
// state in the status bar, the end of the queue, and files dropped on it.
#include "GuiTestSupport.h"

#include "app/BatchListWidget.h"
#include "app/DroppedFiles.h"
#include "app/EncodingDetailsDialog.h"
#include "app/MainWindow.h"
#include "app/QueueMonitor.h"
#include "jobs/BatchList.h"
#include "support/ClipWriter.h"

#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <filesystem>

using namespace moxel;
using namespace moxel::gui;
using moxel::test::GuiTest;
using moxel::test::WindowHandler;
using Clock = std::chrono::steady_clock;

namespace {

class QueueProgressTest : public GuiTest {};

TEST_F(QueueProgressTest, ARunningJobShowsPercentAndTimeLeftOnceItsLengthIsKnown)
{
    moxel::test::ClipSpec spec;
    spec.frameCount = 50; // 2 s at 25 fps
    std::string error;
    const std::string clip = file("clip.avi");
    ASSERT_TRUE(moxel::test::writeClip(clip, spec, &error)) << error;
    keepQueue({clip});
    MainWindow window;
    window.timer().stop();
    BatchJob& job = window.batch().job(0);
    QTreeWidgetItem* item = window.list()->topLevelItem(0);
    const int status = int(BatchColumn::Status);

    // Half-way: 1 s of media in 1/20000 s units, after 4 s of encoding.
    job.setStatus(JobStatus::Encoding);
    job.progress = 20000;
    const Clock::time_point start = Clock::now();
    QueueMonitor& monitor = window.monitor();
    ASSERT_TRUE(moxel::test::runEventsUntil([&] {
        monitor.update(start);
        return item->data(status, QueueMonitor::kFractionRole).isValid();
    }));
    monitor.update(start + std::chrono::seconds(4));
    EXPECT_DOUBLE_EQ(item->data(status, QueueMonitor::kFractionRole).toDouble(), 0.5);
    auto shown = [&] {
        return item->data(status, QueueMonitor::kProgressTextRole).toString().toStdString();
    };
    EXPECT_EQ(shown(), "50% · 0:04 left");

    // Time paused does not count as encoding time: 6 s for 1.5 s of media.
    job.setStatus(JobStatus::Paused);
    monitor.update(start + std::chrono::seconds(4));
    monitor.update(start + std::chrono::seconds(100));
    job.setStatus(JobStatus::Encoding);
    monitor.update(start + std::chrono::seconds(100));
    job.progress = 30000;
    monitor.update(start + std::chrono::seconds(102));
    EXPECT_EQ(shown(), "75% · 0:02 left");

    // Finished: the bar goes.
    job.setStatus(JobStatus::Complete);
    monitor.update(start + std::chrono::seconds(101));
    EXPECT_FALSE(item->data(status, QueueMonitor::kFractionRole).isValid());
}

TEST_F(QueueProgressTest, StatusBarCountsAndTheEndOfTheQueueIsAnnouncedOnce)
{
    keepQueue({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
    MainWindow window;
    window.timer().stop();
    QueueMonitor& monitor = window.monitor();
    QSignalSpy finished(&monitor, &QueueMonitor::queueFinished);
    EXPECT_EQ(window.statusLabel()->text(), "3 jobs");

    window.batch().job(0).setStatus(JobStatus::Encoding);
    window.batch().job(1).setStatus(JobStatus::Queued);
    monitor.update();
    EXPECT_EQ(window.statusLabel()->text(), "3 jobs: 1 queued, 1 encoding");
    EXPECT_EQ(finished.count(), 0);

    window.batch().job(0).setStatus(JobStatus::Complete);
    window.batch().job(1).setStatus(JobStatus::Error);
    monitor.update();
    monitor.update();
    EXPECT_EQ(window.statusLabel()->text(), "3 jobs: 1 complete, 1 error");
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toString(), "1 complete, 1 error");
}

TEST_F(QueueProgressTest, DroppedFoldersGiveTheirMediaFilesInPathOrder)
{
    namespace fs = std::filesystem;
    const fs::path root = m_dir.path() / "drop";
    fs::create_directories(root / "b" / "deeper");
    for (const char* name : {"b/deeper/z.mkv", "b/a.MP4", "notes.txt", "c.avi", "b/cover.jpg"})
        moxel::test::writeFileText((root / name).string(), "");
    const std::string single = file("single.txt");
    moxel::test::writeFileText(single, "");

    EXPECT_EQ(
        expandDroppedPaths({root.string(), single}),
        (std::vector<std::string>{(root / "b/a.MP4").string(), (root / "b/deeper/z.mkv").string(),
                                  (root / "c.avi").string(), single}));

    // Dropped on the list, they go through Encoding Details.
    MainWindow window;
    window.timer().stop();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(root.string()))});
    QWidget* viewport = window.list()->viewport();
    const QPoint at = viewport->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drop);
    WindowHandler ok([](QWidget* w) {
        static_cast<EncodingDetailsDialog*>(w)->folderEdit()->setText("/out");
        moxel::test::clickButton(w, "OK");
    });
    ASSERT_TRUE(moxel::test::runEventsUntil([&] { return window.batch().count() == 3; }));
    EXPECT_EQ(window.batch().job(1).destPath, "/out/z.kmf");
    EXPECT_EQ(ok.handled(), 1);
}

} // namespace
