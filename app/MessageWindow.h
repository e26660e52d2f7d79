// The window where the desktop program lists its jobs' messages ("ERROR",
// "encoding error:", the sources' "Error"), each as "title: text", newest
// last. It belongs to the main window, so it stays in front of it and goes
// with it, and it is not modal: the main window and the queue go on while it
// is open. Each new message brings it up; Close hides it and Clear empties
// it. The jobs keep their messages themselves (the Status tooltip).
#pragma once

#include <QDialog>

class QListWidget;

namespace moxel::gui {

class MessageWindow : public QDialog {
    Q_OBJECT
  public:
    explicit MessageWindow(QWidget* owner);

    void addMessage(const QString& title, const QString& text);
    int count() const;
    QListWidget* list() const { return m_list; }

    static constexpr const char* kObjectName = "jobMessages";

  private:
    QListWidget* m_list;
};

} // namespace moxel::gui
