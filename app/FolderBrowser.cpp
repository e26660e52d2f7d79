#include "app/FolderBrowser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace moxel::gui {

namespace {

// The folder itself when it exists, else its nearest existing parent, else
// the home folder.
QString existingStart(const std::string& folder)
{
    QString path = QString::fromStdString(folder);
    while (!path.isEmpty()) {
        QFileInfo info(path);
        if (info.isDir())
            return info.absoluteFilePath();
        const QString parent = info.path();
        if (parent == path || parent == ".")
            break;
        path = parent;
    }
    return QDir::homePath();
}

} // namespace

std::optional<std::string> browseForFolder(QWidget* owner, const std::string& initialFolder,
                                           const std::string& title)
{
    QFileDialog dialog(owner, QString::fromStdString(title), existingStart(initialFolder));
    dialog.setObjectName("folderBrowser");
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    QString chosen = QDir::cleanPath(dialog.selectedFiles().first());
    if (!QFileInfo(chosen).isDir())
        return std::nullopt;
    return chosen.toStdString();
}

} // namespace moxel::gui
