// "Preferences": the worker's priority, how many jobs run at once (prefs_jobs,
// which the scheduler reads at its next tick), overwriting and folder creation
// without asking, the close confirmation and the frame rate to assume for
// sources whose rate cannot be told. Reads the settings when it opens; OK and
// the close box store them, Cancel and Escape store nothing.
#pragma once

#include "app/OkOnCloseDialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace moxel {
struct ProgramFolders;
}

namespace moxel::gui {

class PreferencesDialog : public OkOnCloseDialog {
    Q_OBJECT
  public:
    // folders.settings must be set.
    explicit PreferencesDialog(ProgramFolders& folders, QWidget* parent = nullptr);

    QComboBox* priorityBox() const { return m_priority; }
    QSpinBox* jobsAtOnceBox() const { return m_jobsAtOnce; }
    QCheckBox* overwriteBox() const { return m_overwrite; }
    QCheckBox* createFoldersBox() const { return m_createFolders; }
    QCheckBox* confirmQuitBox() const { return m_confirmQuit; }
    QCheckBox* assumeFpsBox() const { return m_assumeFps; }
    QLineEdit* assumedFpsEdit() const { return m_assumedFps; }

  public slots:
    void accept() override;

  private:
    void store();

    ProgramFolders& m_folders;
    QComboBox* m_priority;
    QSpinBox* m_jobsAtOnce;
    QCheckBox* m_overwrite;
    QCheckBox* m_createFolders;
    QCheckBox* m_confirmQuit;
    QCheckBox* m_assumeFps;
    QLineEdit* m_assumedFps;
};

} // namespace moxel::gui
