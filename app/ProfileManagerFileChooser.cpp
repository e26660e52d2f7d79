#include "app/ProfileManagerFileChooser.h"

#include "app/OpenFilesDialog.h"

#include <QFileDialog>

namespace moxel::gui {

namespace {

const QStringList kProfileFilters = {"KMF Encoding Profiles (*.pf)", "All files (*)"};

} // namespace

std::vector<std::string> QtProfileFileChooser::chooseImportFiles(const std::string& folder)
{
    // A typed name that does not exist is taken: it imports as a profile
    // with default settings.
    OpenFilesDialog dialog(m_owner, "Import Encoding Profile(s)", folder, kImportDialogName,
                           kProfileFilters);
    return dialog.choose();
}

std::optional<std::string> QtProfileFileChooser::chooseExportFile(const std::string& folder,
                                                                  const std::string& fileName)
{
    QFileDialog dialog(m_owner, "Export Profile", QString::fromStdString(folder));
    dialog.setObjectName(kExportDialogName);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters(kProfileFilters);
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
