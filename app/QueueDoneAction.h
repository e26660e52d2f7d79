// What the program does once the queue has run out of work ("When the queue
// is done"): nothing, a desktop notification, quit, suspend or shut down the
// machine through the session's login manager, or run a command. The choice
// is kept in the settings under done_action ("nothing", "notify", "quit",
// "suspend", "shutdown", "command"; default "notify") and the command under
// done_command.
//
// Every choice but nothing and notify waits first: a window counts the
// seconds down with a Cancel button, so that a queue that ends while
// somebody is at the machine never powers it off under their hands. A queue
// whose end came from the user's own Abort (no job started since) is not
// followed by those choices either. The actions themselves go through
// QueueDoneHooks, which the tests replace: nothing here suspends or powers
// off anything by itself.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <optional>
#include <string>

class QDialog;
class QLabel;
class QWidget;

namespace moxel {
class SettingsFile;
}

namespace moxel::gui {

enum class QueueDoneChoice { Nothing, Notify, Quit, Suspend, ShutDown, RunCommand };

// The things a choice does. Each returns false with a reason when it could
// not be done.
class QueueDoneHooks {
  public:
    virtual ~QueueDoneHooks() = default;
    virtual void notify(const QString& title, const QString& text) = 0;
    virtual void quit() = 0;
    virtual bool suspend(QString* error) = 0;
    virtual bool powerOff(QString* error) = 0;
    virtual bool runCommand(const QString& command, QString* error) = 0;
};

class QueueDoneAction : public QObject {
    Q_OBJECT
  public:
    static constexpr int kDefaultCountdownSeconds = 30;
    static constexpr const char* kCountdownName = "queueDoneCountdown";
    static constexpr const char* kNotifyTitle = "Moxel: the queue has finished";

    // owner: the main window, owner of the countdown window.
    QueueDoneAction(SettingsFile& settings, QueueDoneHooks& hooks, QWidget* owner);

    QueueDoneChoice choice() const;
    void setChoice(QueueDoneChoice choice);
    QString command() const;
    void setCommand(const QString& command);
    void setHooks(QueueDoneHooks& hooks) { m_hooks = &hooks; }
    void setCountdownSeconds(int seconds) { m_countdownSeconds = seconds; }

    // The settings word of a choice, and the choice of a word (null for a
    // word that names none).
    static const char* word(QueueDoneChoice choice);
    static std::optional<QueueDoneChoice> fromWord(const std::string& word);

    // A job started: an Abort before it no longer counts.
    void noteJobStarted() { m_stoppedByUser = false; }
    // The user aborted jobs.
    void noteAbort() { m_stoppedByUser = true; }
    // The queue ran out of work; outcome says how it went ("2 complete").
    void queueFinished(const QString& outcome);
    // Stops a countdown under way; nothing is done.
    void cancel();
    bool counting() const { return m_pending.has_value(); }
    // The countdown window while one runs, else null.
    QDialog* countdownWindow() const;

  signals:
    // What was done or why not, for the queue log.
    void reported(const QString& text);

  private:
    void tick();
    void carryOut(QueueDoneChoice choice);
    QString countdownText() const;

    SettingsFile& m_settings;
    QueueDoneHooks* m_hooks;
    QPointer<QWidget> m_owner;
    QPointer<QDialog> m_window;
    QLabel* m_label = nullptr;
    QTimer m_timer;
    std::optional<QueueDoneChoice> m_pending;
    QString m_pendingCommand;
    int m_secondsLeft = 0;
    int m_countdownSeconds = kDefaultCountdownSeconds;
    bool m_stoppedByUser = false;
};

} // namespace moxel::gui
