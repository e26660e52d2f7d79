// "Change Output Filename": a new file name for the one selected job. Cancel
// and Escape change nothing; the close box acts as OK.
#pragma once

#include "app/OkOnCloseDialog.h"

#include <string>

class QLineEdit;

namespace moxel::gui {

class ChangeFilenameDialog : public OkOnCloseDialog {
    Q_OBJECT
  public:
    explicit ChangeFilenameDialog(const std::string& fileName, QWidget* parent = nullptr);

    std::string fileName() const;
    QLineEdit* nameEdit() const { return m_name; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLineEdit* m_name;
};

} // namespace moxel::gui
