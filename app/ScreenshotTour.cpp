#include "app/ScreenshotTour.h"

#include "app/BatchListWidget.h"
#include "app/GuiPrompt.h"
#include "app/JobLogWindow.h"
#include "app/MainWindow.h"
#include "app/QueueCommands.h"
#include "app/QueueLogWindow.h"
#include "app/QueueMonitor.h"
#include "jobs/BatchCommands.h"
#include "jobs/BatchList.h"
#include "settings/ProgramFolders.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMenu>
#include <QPixmap>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace moxel::gui {

namespace {

class Tour {
  public:
    Tour(MainWindow& window, const QString& folder) : m_window(window), m_folder(folder) {}

    void run()
    {
        QDir().mkpath(m_folder);
        // Jobs stay where they are for the pictures: queued, not started.
        m_window.timer().stop();
        selectRows({1, 2});
        m_window.batch().encodeJobs(false);
        m_window.batch().deselectAll();
        selectRows({0});
        m_window.batch().rebuildView();
        settle();
        save(&m_window, "main-window");
        showSelectionMenu();
        selectRows({0});
        grabModal("encoding-details", [this] {
            m_window.commands().addSources({"/home/user/Videos/holiday/beach-day-1.avi",
                                            "/home/user/Videos/holiday/beach-day-2.avi"});
        });
        selectRows({0, 1});
        grabModal("change-profile", [this] { m_window.runCommand(CommandId::ChangeProfile); });
        grabModal("oops", [this] { m_window.runCommand(CommandId::ChangeFilename); });
        selectRows({0});
        grabModal("change-output-filename",
                  [this] { m_window.runCommand(CommandId::ChangeFilename); });
        grabModal("folder-browser", [this] { m_window.runCommand(CommandId::ChangePath); });
        grabModal("preferences", [this] { m_window.runCommand(CommandId::Preferences); });
        grabModal("about", [this] { m_window.runCommand(CommandId::About); });
        grabModal("file-exists", [this] {
            m_window.prompt().askFileExists(
                "The destination file:   /home/user/videos/holiday.kmf\nalready exists.  "
                "Overwrite it?\n\nClick 'Cancel job' to abort processing remaining files.");
        });
        grabModal("create-new-folder", [this] {
            m_window.prompt().askYesNo(
                "Create new folder?",
                "The output path: /home/user/encoded\ndoes not exist.  Create a new folder?");
        });
        grabModal("add-source-files", [this] { m_window.runCommand(CommandId::AddSources); });
        grabModal("save-batch", [this] { m_window.runCommand(CommandId::SaveBatch); });
        showRunningQueue();
        grabLogs();
        programFolders().settings->setInt("confirmquit", 1);
        grabModal("close-confirmation", [this] { m_window.close(); });
        m_window.batch().deselectAll();
        programFolders().settings->setInt("confirmquit", 0);
        m_window.close();
    }

  private:
    // What a worker leaves in a job's record once it has opened a source of
    // this length and picture, and converted done seconds of it in frames.
    static void stage(BatchJob& job, JobStatus status, double lengthSeconds, double doneSeconds,
                      int width, int height, double frameRate)
    {
        JobWorkerBlock& block = job.workerBlock;
        block.durationMs = int32_t(lengthSeconds * 1000);
        block.sourceWidth = width;
        block.sourceHeight = height;
        block.sourceFrameRate = frameRate;
        block.framesProduced = uint32_t(doneSeconds * frameRate);
        block.workerDone = status == JobStatus::Encoding ? 0 : 1;
        job.progress = int32_t(doneSeconds * 20000);
        job.setStatus(status);
    }

    // A queue under way, as it looks after a job of 94 s and 56 s into the
    // next one, converting 1.9 s of media a second. The tour's sources are
    // names only, so the jobs' records are set on every second as their
    // workers would set them; afterwards they are idle.
    void showRunningQueue()
    {
        using namespace std::chrono_literals;
        constexpr double kPace = 1.9;
        BatchList& batch = m_window.batch();
        BatchJob& done = batch.job(0);
        BatchJob& running = batch.job(1);
        BatchJob& waiting = batch.job(2);
        const int oldWidth = m_window.width();
        m_window.resize(900, m_window.height());
        stage(done, JobStatus::Encoding, 94.2, 0.0, 1280, 720, 25.0);
        stage(running, JobStatus::Queued, 187.5, 0.0, 1280, 720, 25.0);
        stage(waiting, JobStatus::Queued, 312.0, 0.0, 1920, 1080, 29.97); // known from a run before
        running.queueNumber = 1;
        waiting.queueNumber = 2;
        batch.deselectAll();
        const auto start = std::chrono::steady_clock::now();
        m_window.monitor().update(start);
        for (int second = 1; second <= 106; ++second) {
            if (second <= 50)
                stage(done, second < 50 ? JobStatus::Encoding : JobStatus::Complete, 94.2,
                      std::min(second * kPace, 94.2), 1280, 720, 25.0);
            else
                stage(running, JobStatus::Encoding, 187.5, (second - 50) * kPace, 1280, 720, 25.0);
            m_window.monitor().update(start + second * 1s);
        }
        batch.refreshStatus();
        settle();
        save(&m_window, "running-queue");
        for (BatchJob* job : {&done, &running, &waiting}) {
            stage(*job, JobStatus::Idle, 0.0, 0.0, 0, 0, 0.0);
            job->workerBlock.workerDone = 1;
        }
        batch.rebuildView();
        m_window.monitor().update();
        m_window.resize(oldWidth, m_window.height());
    }

    // The tour's sources do not exist, so its jobs fail at once: the first
    // job's log shows why, and the queue log shows the run.
    void grabLogs()
    {
        BatchList& batch = m_window.batch();
        batch.resetStatus(true);
        // A folder that exists, so that the job start asks nothing; should
        // it ask all the same, the question is dismissed.
        BatchJob& job = batch.job(0);
        job.destPath = (QDir::tempPath() + "/").toStdString() +
                       std::filesystem::path(job.destPath).filename().string();
        QTimer dismiss;
        QObject::connect(&dismiss, &QTimer::timeout, [] {
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                modal->reject();
        });
        dismiss.start(200);
        selectRows({0});
        batch.encodeJobs(false);
        for (int i = 0; i < 500 && !batch.job(0).isSettled(); ++i) {
            batch.scheduleNext();
            m_window.queueCommands().update();
            settle();
            QThread::msleep(10);
        }
        m_window.queueCommands().update();
        selectRows({0});
        m_window.runCommand(CommandId::ShowLog);
        settle();
        if (JobLogWindow* log = m_window.queueCommands().logWindow(batch.job(0))) {
            save(log, "job-log");
            log->close();
        }
        m_window.runCommand(CommandId::QueueLog);
        settle();
        if (QueueLogWindow* log = m_window.queueCommands().queueLogWindow()) {
            save(log, "queue-log");
            log->hide();
        }
    }

    void settle()
    {
        for (int i = 0; i < 10; ++i)
            QApplication::processEvents();
    }

    void save(QWidget* widget, const char* name)
    {
        const QString path = m_folder + "/" + name + ".png";
        if (!widget->grab().save(path))
            std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
    }

    void selectRows(std::initializer_list<int> rows)
    {
        m_window.batch().deselectAll();
        for (int row : rows)
            m_window.list()->setSelected(row, true);
        m_window.batch().syncFromView();
    }

    void showSelectionMenu()
    {
        QMenu* menu = m_window.menu().selectionMenu;
        menu->popup(m_window.mapToGlobal(QPoint(120, 120)));
        settle();
        save(menu, "selection-menu");
        menu->hide();
    }

    // Runs open, which shows a modal window; the window is saved as name
    // and dismissed as by Escape (the close box for message boxes).
    void grabModal(const char* name, const std::function<void()>& open)
    {
        QTimer poll;
        poll.setInterval(50);
        int waited = 0;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if ((!modal || !modal->isVisible()) && ++waited < 100)
                return;
            poll.stop();
            if (!modal)
                return;
            settle();
            save(modal, name);
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        });
        poll.start();
        open();
        poll.stop();
        settle();
    }

    MainWindow& m_window;
    QString m_folder;
};

} // namespace

void startScreenshotTour(MainWindow& window, const QString& folder)
{
    QTimer::singleShot(300, &window, [&window, folder] {
        Tour tour(window, folder);
        tour.run();
    });
}

} // namespace moxel::gui
