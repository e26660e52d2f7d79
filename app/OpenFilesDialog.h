// The open-files dialog of Add Source Files and of the profile import:
// several files at once (selected, or typed in quotes), and names typed into
// it are taken as they are, whether or not such a file exists (the command
// that asked decides what a missing file means). A typed folder opens that
// folder.
#pragma once

#include <QFileDialog>

#include <string>
#include <vector>

namespace moxel::gui {

class OpenFilesDialog : public QFileDialog {
    Q_OBJECT
  public:
    // nameFilters as QFileDialog takes them ("Text (*.a *.b)"); options are
    // set before them (HideNameFilterDetails shows the texts alone).
    OpenFilesDialog(QWidget* owner, const QString& title, const std::string& folder,
                    const QString& objectName, const QStringList& nameFilters,
                    QFileDialog::Options options = {});

    // Shows the dialog modally: the chosen paths in the dialog's order,
    // empty when cancelled.
    std::vector<std::string> choose();

  public slots:
    void accept() override;
};

} // namespace moxel::gui
