// "Moxel Profile Configuration": the processing options and the name of one
// profile (its "kmfencpp" section), and the way to the encoder configuration.
// The dialog loads its own EncodingProfile from the file and writes it back
// on OK and before the encoder configuration opens. Cancel, Escape and the
// close box put the file back from the backup taken before the dialog
// opened, undoing also what the encoder configuration and the codec panels
// wrote. The focus starts on the name; Tab visits the fields in a fixed
// order (video, then audio, then the frame rate) and ends on the buttons.
#pragma once

#include "profiles/EncodingProfile.h"

#include <QDialog>
#include <QString>

#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace moxel {

class CodecPluginSet;
class ProfileBackup;

class ProfileEditorDialog : public QDialog {
  public:
    // plugins and backup outlive the dialog.
    ProfileEditorDialog(const std::string& profilePath, const CodecPluginSet& plugins,
                        const ProfileBackup& backup, QWidget* parent = nullptr);

    // OK: refuses a name holding '/', '\' or '.' with a notice and stays
    // open; otherwise saves the fields and closes.
    void accept() override;
    // Cancel, Escape, close box: restores the file and closes.
    void reject() override;

    const EncodingProfile& profile() const { return m_profile; }

    // "Saved on disk as: <file name without its extension>".
    static QString savedOnDiskText(const std::string& profilePath);
    static bool isAllowedName(const QString& name);

  private:
    QWidget* buildVideoGroup();
    QWidget* buildAudioGroup();
    void showValues();
    void takeValues();
    // takeValues(), then writes the "kmfencpp" section; tells the user when
    // the file could not be written.
    bool saveValues();
    void openEncoderConfig();

    EncodingProfile m_profile;
    const CodecPluginSet& m_plugins;
    const ProfileBackup& m_backup;

    QLineEdit* m_name = nullptr;
    QLabel* m_savedAs = nullptr;
    QCheckBox* m_deinterlace = nullptr;
    QCheckBox* m_hqDeinterlace = nullptr;
    QLineEdit* m_cropTop = nullptr;
    QLineEdit* m_cropLeft = nullptr;
    QLineEdit* m_cropBottom = nullptr;
    QLineEdit* m_cropRight = nullptr;
    QCheckBox* m_resize = nullptr;
    QLineEdit* m_resizeWidth = nullptr;
    QLineEdit* m_resizeHeight = nullptr;
    QCheckBox* m_hqResize = nullptr;
    QLineEdit* m_sampleRate = nullptr;
    QComboBox* m_channels = nullptr;
    QCheckBox* m_lowpass = nullptr;
    QLineEdit* m_volume = nullptr;
    QCheckBox* m_dropRepeat = nullptr;
    QLineEdit* m_frameRate = nullptr;
};

} // namespace moxel
