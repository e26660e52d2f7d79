#include "app/OpenFilesDialog.h"

#include <QFileInfo>

#include <algorithm>

namespace moxel::gui {

OpenFilesDialog::OpenFilesDialog(QWidget* owner, const QString& title, const std::string& folder,
                                 const QString& objectName, const QStringList& nameFilters,
                                 QFileDialog::Options options)
    : QFileDialog(owner, title, QString::fromStdString(folder))
{
    setObjectName(objectName);
    setOptions(options | QFileDialog::DontUseNativeDialog);
    setNameFilters(nameFilters);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
}

std::vector<std::string> OpenFilesDialog::choose()
{
    std::vector<std::string> paths;
    if (exec() == QDialog::Accepted)
        for (const QString& path : selectedFiles())
            paths.push_back(path.toStdString());
    return paths;
}

void OpenFilesDialog::accept()
{
    // QFileDialog refuses names that do not exist with "File not found";
    // those are taken here. Folders are left to it: it opens them.
    const QStringList files = selectedFiles();
    const auto isFolder = [](const QString& path) { return QFileInfo(path).isDir(); };
    const auto isMissing = [](const QString& path) { return !QFileInfo::exists(path); };
    if (!files.isEmpty() && std::none_of(files.begin(), files.end(), isFolder) &&
        std::any_of(files.begin(), files.end(), isMissing)) {
        QDialog::accept();
        return;
    }
    QFileDialog::accept();
}

} // namespace moxel::gui
