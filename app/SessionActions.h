// The program's real QueueDoneHooks: the desktop notification, quitting
// through the main window, and suspend and power-off asked of the login
// manager (org.freedesktop.login1 on the system bus, as interactive
// requests, so the desktop's own rules and questions apply), and a command
// started on its own, detached from the program.
#pragma once

#include "app/QueueDoneAction.h"

#include <functional>

namespace moxel::gui {

class DesktopNotifier;

class SessionActions : public QueueDoneHooks {
  public:
    SessionActions(DesktopNotifier& notifier, std::function<void()> quit);

    void notify(const QString& title, const QString& text) override;
    void quit() override;
    bool suspend(QString* error) override;
    bool powerOff(QString* error) override;
    bool runCommand(const QString& command, QString* error) override;

  private:
    DesktopNotifier& m_notifier;
    std::function<void()> m_quit;
};

} // namespace moxel::gui
