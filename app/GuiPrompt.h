// The engine's questions answered with the program's windows.
//
// On the user-interface thread (the job start) a question is a modal box
// owned by the main window, as any dialog. A job's worker thread leaves its
// question in a list that the user-interface thread looks at every 50 ms;
// the box it opens there is not modal (the main window stays usable, as for
// any message without an owner) and only the worker waits for the answer.
// Messages given with notify() (a job's failures) wait for nobody: they go
// to the main window's message window (app/MessageWindow.h), at once on the
// user-interface thread, within 50 ms from any other. The threads share
// nothing but those lists, under one lock; the user-interface thread never
// waits for a worker here.
//
// shutDown() ends every question still open or on its way, answering as the
// box's Escape key would (OK, No, Cancel job), and answers later questions
// the same way without showing anything: the closing program must not leave
// a worker waiting for a window that will never come. Messages given after
// shut-down are dropped (the jobs keep them in their logs).
#pragma once

#include "base/Prompt.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class QDialog;
class QWidget;

namespace moxel::gui {

class MessageWindow;

class GuiPrompt : public QObject, public Prompt {
    Q_OBJECT
  public:
    // owner: the main window, owner of the boxes asked on its own thread.
    explicit GuiPrompt(QWidget* owner);
    ~GuiPrompt() override;

    void showMessage(const std::string& title, const std::string& text) override;
    void notify(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    FileExistsAnswer askFileExists(const std::string& text) override;

    void shutDown();
    // Questions a worker is waiting for.
    int pendingCount() const;
    // The window of the notified messages, null until the first one.
    MessageWindow* messageWindow() const;

    // Object names of the boxes, for tests and screenshots.
    static constexpr const char* kMessageBoxName = "promptMessageBox";
    static constexpr const char* kQuestionBoxName = "promptQuestionBox";
    static constexpr const char* kFileExistsName = "fileExistsDialog";
    static constexpr int kPollMs = 50;

  private:
    enum class Kind { Message, YesNo, FileExists };
    struct Request {
        Kind kind;
        std::string title;
        std::string text;
        bool done = false;
        bool opened = false; // its box was made (user-interface thread)
        int answer = 0;
        QPointer<QDialog> box;
    };

    // The answer each kind gets when its box is dismissed by shut-down.
    static int closingAnswer(Kind kind);
    // The box for a question, not yet shown.
    QDialog* makeBox(Kind kind, const std::string& title, const std::string& text,
                     QWidget* parent) const;
    // The answer of a finished box.
    static int boxAnswer(Kind kind, QDialog* box);

    int ask(Kind kind, const std::string& title, const std::string& text);
    int askHere(Kind kind, const std::string& title, const std::string& text);
    int askFromWorker(Kind kind, const std::string& title, const std::string& text);
    // Opens the boxes of the questions workers have left and lists their
    // messages (timer).
    void openWaiting();
    void listNotices();
    void openForWorker(const std::shared_ptr<Request>& request);
    void finish(const std::shared_ptr<Request>& request, int answer);

    QPointer<QWidget> m_owner;
    mutable std::mutex m_mutex;
    std::condition_variable m_answered;
    bool m_closed = false;
    std::vector<std::shared_ptr<Request>> m_pending;
    std::vector<std::pair<std::string, std::string>> m_notices; // title, text
    QPointer<MessageWindow> m_messages;
    QTimer m_poll;
};

} // namespace moxel::gui
