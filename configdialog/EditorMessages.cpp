#include "configdialog/EditorMessages.h"

#include <QMessageBox>
#include <QString>

namespace moxel {

void showBadNameNotice(QWidget* owner)
{
    QMessageBox::information(owner, QString::fromLatin1(kNoticeTitle),
                             QString::fromLatin1(kBadNameText), QMessageBox::Ok);
}

void showNotWritten(QWidget* owner, const std::string& path)
{
    QMessageBox::warning(owner, QStringLiteral("Error"),
                         QStringLiteral("The profile file could not be written:\n%1")
                             .arg(QString::fromStdString(path)),
                         QMessageBox::Ok);
}

} // namespace moxel
