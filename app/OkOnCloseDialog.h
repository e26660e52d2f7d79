// A dialog whose close box means OK: closing the window runs accept(), so a
// subclass's OK handling applies. Escape still rejects.
#pragma once

#include <QCloseEvent>
#include <QDialog>

namespace moxel::gui {

class OkOnCloseDialog : public QDialog {
    Q_OBJECT
  public:
    using QDialog::QDialog;

  protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (isVisible())
            accept();
        event->accept();
    }
};

} // namespace moxel::gui
