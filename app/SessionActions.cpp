#include "app/SessionActions.h"

#include "app/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QProcess>

namespace moxel::gui {

namespace {

bool askLoginManager(const char* method, QString* error)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        *error = "no connection to the system bus";
        return false;
    }
    QDBusInterface manager("org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", bus);
    if (!manager.isValid()) {
        *error = "the login manager does not answer: " + manager.lastError().message();
        return false;
    }
    const QDBusReply<void> reply = manager.call(method, true);
    if (!reply.isValid()) {
        *error = reply.error().message();
        return false;
    }
    return true;
}

} // namespace

SessionActions::SessionActions(DesktopNotifier& notifier, std::function<void()> quit)
    : m_notifier(notifier), m_quit(std::move(quit))
{
}

void SessionActions::notify(const QString& title, const QString& text)
{
    m_notifier.notify(title, text);
}

void SessionActions::quit()
{
    m_quit();
}

bool SessionActions::suspend(QString* error)
{
    return askLoginManager("Suspend", error);
}

bool SessionActions::powerOff(QString* error)
{
    return askLoginManager("PowerOff", error);
}

bool SessionActions::runCommand(const QString& command, QString* error)
{
    QStringList words = QProcess::splitCommand(command);
    if (words.isEmpty()) {
        *error = "the command is empty";
        return false;
    }
    const QString program = words.takeFirst();
    if (!QProcess::startDetached(program, words)) {
        *error = "cannot start " + program;
        return false;
    }
    return true;
}

} // namespace moxel::gui
