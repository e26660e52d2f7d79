// "File Exists": asked before a job overwrites an existing output file.
// Four answers; the keyboard focus starts on "Yes", and Enter (like Space)
// answers with the button that has the focus. Closing the window by its
// close box counts as "Yes", the Escape key as "Cancel job".
#pragma once

#include "base/Prompt.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace moxel::gui {

class FileExistsDialog : public QDialog {
    Q_OBJECT
  public:
    FileExistsDialog(const QString& message, QWidget* parent = nullptr);

    // Shows the dialog modally and returns the answer.
    FileExistsAnswer ask();
    // The answer once the dialog has finished (also after open()).
    FileExistsAnswer answer() const { return FileExistsAnswer(result()); }

    QPushButton* button(FileExistsAnswer which) const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  public slots:
    // Escape ends here.
    void reject() override;

  private:
    QLabel* m_message;
    QPushButton* m_buttons[4];
};

} // namespace moxel::gui
