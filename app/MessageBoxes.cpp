#include "app/MessageBoxes.h"

#include <QMessageBox>

namespace moxel::gui {

namespace {

int runBox(QWidget* owner, const char* name, QMessageBox::Icon icon, const QString& title,
           const QString& text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, text, buttons, owner);
    box.setObjectName(name);
    return box.exec();
}

} // namespace

void showOops(QWidget* owner, const std::string& text)
{
    runBox(owner, kOopsBoxName, QMessageBox::Information, "Oops", QString::fromStdString(text),
           QMessageBox::Ok);
}

void showAbout(QWidget* owner)
{
    runBox(owner, kAboutBoxName, QMessageBox::Information, "About Moxel",
           "Moxel " MOXEL_VERSION_TEXT ", the KMF batch encoder, by the Moxel developers.",
           QMessageBox::Ok);
}

bool confirmClose(QWidget* owner)
{
    return runBox(owner, kCloseBoxName, QMessageBox::Question, "Close Moxel",
                  "Closing this window will quit Moxel.",
                  QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

} // namespace moxel::gui
