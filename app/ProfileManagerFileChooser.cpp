#include "app/ProfileManagerFileChooser.h"

#include <QFileDialog>

namespace moxel::gui {

namespace {

void prepare(QFileDialog& dialog, const char* name)
{
    dialog.setObjectName(name);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters({"KMF Encoding Profiles (*.pf)", "All files (*)"});
}

} // namespace

std::vector<std::string> QtProfileFileChooser::chooseImportFiles(const std::string& folder)
{
    QFileDialog dialog(m_owner, "Import Encoding Profile(s)", QString::fromStdString(folder));
    prepare(dialog, kImportDialogName);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    std::vector<std::string> paths;
    if (dialog.exec() == QDialog::Accepted)
        for (const QString& path : dialog.selectedFiles())
            paths.push_back(path.toStdString());
    return paths;
}

std::optional<std::string> QtProfileFileChooser::chooseExportFile(const std::string& folder,
                                                                  const std::string& fileName)
{
    QFileDialog dialog(m_owner, "Export Profile", QString::fromStdString(folder));
    prepare(dialog, kExportDialogName);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix("pf");
    if (!fileName.empty())
        dialog.selectFile(QString::fromStdString(fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

} // namespace moxel::gui
