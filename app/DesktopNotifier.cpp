#include "app/DesktopNotifier.h"

#include "app/ToolIcons.h"

#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>

namespace moxel::gui {

void DesktopNotifier::notify(const QString& title, const QString& text)
{
    if (QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages()) {
        if (!m_tray) {
            m_tray = new QSystemTrayIcon(toolIcon(ToolIcon::Program), this);
            m_tray->setToolTip("Moxel");
        }
        m_tray->show();
        m_tray->showMessage(title, text, QSystemTrayIcon::Information);
        return;
    }
    const QString notifySend = QStandardPaths::findExecutable("notify-send");
    if (!notifySend.isEmpty())
        QProcess::startDetached(notifySend, {"--app-name=Moxel", "--icon=moxel", title, text});
}

} // namespace moxel::gui
