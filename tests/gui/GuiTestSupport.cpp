#include "GuiTestSupport.h"

#include "settings/ProgramFolders.h"
#include "settings/SettingsFile.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>

namespace moxel::test {

void GuiTest::SetUp()
{
    std::string error;
    ASSERT_TRUE(initialiseSettings(programFile(), &error)) << error;
}

void GuiTest::TearDown()
{
    releaseSettings();
}

SettingsFile& GuiTest::settings() const
{
    return *programFolders().settings;
}

void GuiTest::keepQueue(const std::vector<std::string>& sources) const
{
    std::string text;
    for (const std::string& source : sources)
        text += source + "\t" + source + ".kmf\t(Default)\r\n";
    writeFileText(m_dir.file("queue.txt"), text);
}

WindowHandler::WindowHandler(std::function<void(QWidget*)> handle, QString objectName)
    : m_handle(std::move(handle)), m_objectName(std::move(objectName)),
      m_timer(std::make_unique<QTimer>())
{
    m_timer->setInterval(5);
    QObject::connect(m_timer.get(), &QTimer::timeout, [this] { poll(); });
    m_timer->start();
}

WindowHandler::~WindowHandler() = default;

bool WindowHandler::seen(QWidget* window) const
{
    for (const QPointer<QWidget>& known : m_seen)
        if (known == window)
            return true;
    return false;
}

void WindowHandler::poll()
{
    QWidget* window = nullptr;
    if (m_objectName.isEmpty()) {
        window = QApplication::activeModalWidget();
    } else {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == m_objectName && top->isVisible() && !seen(top))
                window = top;
    }
    if (!window || !window->isVisible() || seen(window))
        return;
    m_seen.erase(std::remove(m_seen.begin(), m_seen.end(), nullptr), m_seen.end());
    m_seen.emplace_back(window);
    m_names.push_back(window->objectName());
    ++m_handled;
    m_handle(window);
}

void dismiss(QWidget* window)
{
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->reject();
    else
        window->close();
}

void clickButton(QWidget* window, const QString& text)
{
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->text().remove('&') == text) {
            button->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString() << " in "
                  << window->windowTitle().toStdString();
    dismiss(window);
}

bool runEventsUntil(const std::function<bool()>& done)
{
    // A guard against a test that would otherwise hang, not a timing check.
    QElapsedTimer guard;
    guard.start();
    while (!done()) {
        if (guard.elapsed() > 20000)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::yieldCurrentThread();
    }
    return true;
}

} // namespace moxel::test
