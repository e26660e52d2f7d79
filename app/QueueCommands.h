// The main window's queue control around the list's own commands: moving
// jobs (menu, Ctrl+Up/Ctrl+Down, drag within the list), Delete, Pause or
// resume all, Retry Failed, Show Log (menu, context menu, double-click on a
// finished job), Open Output Folder, the queue log and its window, and the
// "When the queue is done" choice.
//
// Show Log and Open Output Folder act on the selected job: the focused row
// when it is selected, else the first selected row; with nothing selected
// they say "Please select something first..." titled "Oops", as the list's
// other commands do.
#pragma once

#include "app/CommandId.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QMenu;
class QWidget;

namespace moxel {
class BatchList;
class Prompt;
class SettingsFile;
struct BatchJob;
} // namespace moxel

namespace moxel::gui {

class BatchListWidget;
class JobLogWindow;
class QueueDoneAction;
class QueueDoneHooks;
class QueueLog;
class QueueLogWindow;

class QueueCommands : public QObject {
    Q_OBJECT
  public:
    using UrlOpener = std::function<bool(const QUrl&)>;

    // owner: the main window, owner of the windows opened here. doneMenu:
    // the checkable "When the queue is done" items. hooks: what the queue's
    // end may do (the real session's actions, or the tests' stand-in).
    QueueCommands(QWidget* owner, BatchList& list, BatchListWidget& view, SettingsFile& settings,
                  Prompt& prompt, QMenu* doneMenu, QueueDoneHooks& hooks);
    ~QueueCommands() override;

    void run(CommandId id);
    // Every command of the window, before it runs.
    void noteCommand(CommandId id);
    // Every timer tick and command: the queue log looks at the jobs.
    void update();
    // The queue ran out of work.
    void queueFinished(const QString& outcome);
    // Opens the log of the job in row when the job has ended (double-click).
    void showLogOfRow(int row);
    // The jobs at rows were dragged to stand before row before.
    void moveRows(const std::vector<int>& rows, int before);

    QueueLog& log() const { return *m_log; }
    QueueDoneAction& doneAction() const { return *m_done; }
    // The queue log window, null until opened.
    QueueLogWindow* queueLogWindow() const;
    // The log window open for job, or null.
    JobLogWindow* logWindow(const BatchJob& job) const;
    // How Open Output Folder opens a folder (QDesktopServices::openUrl).
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }
    // Asks for the command of "Run a command..." (a text input box).
    void setCommandAsker(std::function<std::optional<QString>(const QString&)> ask)
    {
        m_askCommand = std::move(ask);
    }

  signals:
    // The list changed outside a command (a drag).
    void listChanged();

  private:
    // The selected job Show Log and Open Output Folder act on, null (after
    // the "Oops" message) when none is selected.
    BatchJob* chosenJob();
    void showLog(const BatchJob& job);
    void openOutputFolder();
    void pauseOrResume();
    void choose(CommandId id);
    void checkChoice();

    QWidget* m_owner;
    BatchList& m_list;
    BatchListWidget& m_view;
    Prompt& m_prompt;
    QMenu* m_doneMenu;
    std::unique_ptr<QueueLog> m_log;
    QueueDoneAction* m_done;
    QPointer<QueueLogWindow> m_logWindow;
    std::map<const BatchJob*, QPointer<JobLogWindow>> m_jobLogs;
    UrlOpener m_openUrl;
    std::function<std::optional<QString>(const QString&)> m_askCommand;
};

// The folder Open Output Folder opens for a destination: the folder of the
// file, or of a stream's local copy; empty for a stream without one.
std::string outputFolder(const std::string& destination);

} // namespace moxel::gui
