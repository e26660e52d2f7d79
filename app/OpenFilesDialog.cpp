#include "app/OpenFilesDialog.h"

#include <QAbstractItemView>
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
    // "Any file" keeps the Open button enabled for a typed name that does
    // not exist, which "existing files" greys out; the views then still
    // select several files.
    setFileMode(QFileDialog::AnyFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    for (QAbstractItemView* view : findChildren<QAbstractItemView*>())
        if (view->objectName() == "listView" || view->objectName() == "treeView")
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
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
    // QFileDialog takes the first of several files alone and opens a typed
    // folder; several files without a folder among them are taken here, all
    // of them, whether they exist or not.
    const QStringList files = selectedFiles();
    const auto isFolder = [](const QString& path) { return QFileInfo(path).isDir(); };
    if (files.size() > 1 && std::none_of(files.begin(), files.end(), isFolder)) {
        QDialog::accept();
        return;
    }
    QFileDialog::accept();
}

} // namespace moxel::gui
