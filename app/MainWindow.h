// The main window "Moxel": six tool buttons above the batch list, the menu
// bar with its shortcuts, the Selection menu on a right-click in the list,
// and the 100 ms timer that lets the batch list start its next job.
//
// Closing (close box, File > Exit, Ctrl+Q) asks first when "confirmquit" is
// set, aborts every job and waits up to 3000 ms for the workers (the jobs it
// stopped are kept as not done), keeps the queue and the column widths and
// unloads the codec plug-ins; then closed() is emitted and start-up ends the
// event loop.
#pragma once

#include "app/CommandId.h"
#include "app/MainMenu.h"
#include "app/WindowPlacement.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QToolButton;

namespace moxel {
class BatchCommands;
class BatchList;
class ProfileStore;
struct ProgramFolders;
} // namespace moxel

namespace moxel::gui {

class BatchListWidget;
class DesktopNotifier;
class GuiBatchDialogs;
class GuiPrompt;
class QueueCommands;
class QueueFile;
class QueueMonitor;
class SessionActions;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    // Uses programFolders(), which start-up has initialised. Loads the
    // profile store and the kept queue.
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void runCommand(CommandId id);
    // Add Source Files with these paths instead of the open-files dialog
    // (files dropped on the list). False when Encoding Details was cancelled.
    bool addSources(const std::vector<std::string>& paths);

    BatchListWidget* list() const { return m_list; }
    BatchList& batch() const { return *m_batch; }
    ProfileStore& profiles() const { return *m_profiles; }
    BatchCommands& commands() const { return *m_commands; }
    QueueFile& queueFile() const { return *m_queue; }
    QueueMonitor& monitor() const { return *m_monitor; }
    QueueCommands& queueCommands() const { return *m_queueCommands; }
    QLabel* statusLabel() const { return m_statusLabel; }
    // The queue's overall progress, shown while it runs.
    QLabel* progressLabel() const { return m_progressLabel; }
    QProgressBar* progressBar() const { return m_progressBar; }
    const MainMenu& menu() const { return m_menu; }
    QToolButton* button(CommandId id) const;
    GuiPrompt& prompt() const { return *m_prompt; }
    QTimer& timer() { return m_timer; }
    // True once closing has run its course.
    bool hasShutDown() const { return m_shutDown; }
    // After closing: some worker did not finish within the wait.
    bool workersStillRunning() const { return m_workersLeft; }

    static constexpr int kTimerMs = 100;
    static constexpr int kSettleWaitMs = 3000;
    static constexpr int kMinimumWidth = 400;
    static constexpr int kMinimumHeight = 300;

  signals:
    // Every command, before it runs.
    void commandRun(CommandId id);
    void closed();
    // After every command and timer tick that may have changed the list.
    void listChanged();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void buildButtons(QWidget* row);
    void restoreColumns();
    void saveColumns();
    void tick();
    void shutDown();
    // Some job may still have a worker thread.
    bool anyWorkerAlive() const;
    void openPreferences();
    void openProfileManager();
    // The status bar's progress and the title: "42% Moxel" while the queue
    // runs, "Moxel" when it is idle (percent -1).
    void showQueueProgress(const QString& text, int percent);
    // Closing chosen for the queue's end: nobody is there to confirm it.
    void quitWithoutAsking();

    ProgramFolders& m_folders;
    std::unique_ptr<GuiPrompt> m_prompt;
    BatchListWidget* m_list = nullptr;
    std::unique_ptr<ProfileStore> m_profiles;
    std::unique_ptr<BatchList> m_batch;
    std::unique_ptr<GuiBatchDialogs> m_dialogs;
    std::unique_ptr<BatchCommands> m_commands;
    std::unique_ptr<QueueFile> m_queue;
    QueueMonitor* m_monitor = nullptr;
    DesktopNotifier* m_notifier = nullptr;
    std::unique_ptr<SessionActions> m_session;
    QueueCommands* m_queueCommands = nullptr;
    QLabel* m_statusLabel = nullptr;
    QLabel* m_progressLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
    MainMenu m_menu;
    std::array<QToolButton*, 6> m_buttons{};
    QTimer m_timer;
    WindowPlacement m_placement;
    bool m_placementLive = false;
    bool m_shutDown = false;
    bool m_workersLeft = false;
    bool m_quitWithoutAsking = false;
};

} // namespace moxel::gui
