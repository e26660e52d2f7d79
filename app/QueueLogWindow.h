// The window of the queue log (app/QueueLog.h): one line per entry, newest
// last, read-only. It belongs to the main window and is not modal; Close
// hides it, and it follows the log while it is open.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace moxel::gui {

class QueueLog;
struct QueueLogEntry;

class QueueLogWindow : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kObjectName = "queueLog";

    QueueLogWindow(const QueueLog& log, QWidget* owner);

    QPlainTextEdit* text() const { return m_text; }

  private:
    void append(const QueueLogEntry& entry);

    QPlainTextEdit* m_text;
};

} // namespace moxel::gui
