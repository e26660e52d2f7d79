#include "ModalDriver.h"

#include "support/TempDir.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace moxel::test {

namespace {

constexpr int kMaxTurns = 200000;

} // namespace

void whenModal(const QString& title, std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer(qApp);
    auto turns = std::make_shared<int>(0);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, turns, title, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->isVisible() && modal->windowTitle() == title) {
            timer->stop();
            timer->deleteLater();
            action(modal);
            return;
        }
        if (++*turns < kMaxTurns)
            return;
        timer->stop();
        timer->deleteLater();
        ADD_FAILURE() << "no modal window titled " << title.toStdString();
        for (int i = 0; i < 10; ++i)
            if (QWidget* open = QApplication::activeModalWidget())
                open->close();
    });
    timer->start();
}

void writeProfile(const std::string& path, const std::string& linesWithLf)
{
    std::string text;
    for (char c : linesWithLf) {
        if (c == '\n')
            text += '\r';
        text += c;
    }
    writeFileText(path, text);
}

void pressEscape(QWidget* widget)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

} // namespace moxel::test
