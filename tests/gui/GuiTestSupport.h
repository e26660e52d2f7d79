// Helpers for the widget tests: a program folder of its own for each test,
// and a way to answer the modal windows a command opens.
#pragma once

#include "support/TempDir.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace moxel {
class SettingsFile;
}

namespace moxel::test {

// Each test gets a program file "moxel" in a temporary folder, so the
// settings, profiles and queue live there; they are written at TearDown.
class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    SettingsFile& settings() const;
    std::string programFile() const { return m_dir.file("moxel"); }
    std::string file(const std::string& name) const { return m_dir.file(name); }
    // Writes a batch file queue.txt with these sources (profile "(Default)",
    // destinations beside them) so that a new main window starts with them.
    void keepQueue(const std::vector<std::string>& sources) const;

    TempDir m_dir;
};

// Runs handle on every window that becomes the active modal window (or, with
// a name, on every visible top-level window of that object name) while the
// object lives; each window is handled once. Handling usually clicks a
// button, which is what ends the command that opened the window.
class WindowHandler {
  public:
    explicit WindowHandler(std::function<void(QWidget*)> handle, QString objectName = {});
    ~WindowHandler();
    int handled() const { return m_handled; }
    // The object names of the windows handled, in order.
    const std::vector<QString>& names() const { return m_names; }

  private:
    void poll();

    std::function<void(QWidget*)> m_handle;
    QString m_objectName;
    std::unique_ptr<QTimer> m_timer;
    bool seen(QWidget* window) const;

    std::vector<QPointer<QWidget>> m_seen; // a window destroyed is forgotten
    std::vector<QString> m_names;
    int m_handled = 0;
};

// Dismisses a window as Escape would (reject for dialogs).
void dismiss(QWidget* window);
// Clicks the push button of window whose text (without '&') is text.
void clickButton(QWidget* window, const QString& text);
// Processes events until done() holds or the guard runs out (then false).
bool runEventsUntil(const std::function<bool()>& done);

} // namespace moxel::test
