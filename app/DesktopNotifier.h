// A desktop notification, best effort: through the system tray where the
// desktop has one, else through notify-send where it is installed, else
// not at all.
#pragma once

#include <QObject>
#include <QString>

class QSystemTrayIcon;

namespace moxel::gui {

class DesktopNotifier : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    void notify(const QString& title, const QString& text);

  private:
    QSystemTrayIcon* m_tray = nullptr;
};

} // namespace moxel::gui
