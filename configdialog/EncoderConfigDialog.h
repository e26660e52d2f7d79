// "KMF Encoder Configuration": the container options and the audio and video
// format of one profile (its "kmfconfig" section), with the settings panel of
// the codec plug-in that owns each chosen format. Opened modally from the
// profile edit dialog with a loaded KmfConfig. Every way of closing it (OK,
// Escape, the close box) keeps the changes: the panels are destroyed first,
// so the plug-ins have written their settings, then the KmfConfig takes the
// fields and is saved. The focus starts on the audio send-ahead; Tab goes
// through the options, the audio list and its panel, the video list and its
// panel, then OK.
#pragma once

#include "configdialog/CodecPanelSlot.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace moxel {

class CodecPluginSet;
class FormatListBox;
class KmfConfig;

class EncoderConfigDialog : public QDialog {
  public:
    // Larger numbers typed for the sync-frame intervals are replaced.
    static constexpr int kMinSyncLimit = 100; // above it: kMinSyncReplacement
    static constexpr int kMinSyncReplacement = 2;
    static constexpr int kMaxSyncLimit = 1000; // above it: kMaxSyncLimit

    // Shows config's values and creates the two panels. plugins and config
    // outlive the dialog.
    EncoderConfigDialog(KmfConfig& config, const CodecPluginSet& plugins,
                        QWidget* parent = nullptr);
    ~EncoderConfigDialog() override;

    void done(int result) override;

    CodecPanelSlot& audioSlot() { return *m_audioSlot; }
    CodecPanelSlot& videoSlot() { return *m_videoSlot; }
    // The codec's settings panels while they exist, null otherwise.
    QWidget* audioPanel() const { return m_audioPanel; }
    QWidget* videoPanel() const { return m_videoPanel; }

  private:
    QWidget* buildOptionsGroup();
    QWidget* buildFormatGroup(const QString& title, const QString& label, FormatListBox*& list,
                              std::unique_ptr<CodecPanelSlot>& slot, bool video);
    void showValues();
    void takeValues();
    void listNotified(bool video);
    // Tab order of the controls, the present panels' controls included.
    void chainTabs();

    KmfConfig& m_config;
    const CodecPluginSet& m_plugins;
    bool m_closing = false;

    QLineEdit* m_sendAhead = nullptr;
    QLineEdit* m_minSync = nullptr;
    QLineEdit* m_maxSync = nullptr;
    QCheckBox* m_header = nullptr;
    QLineEdit* m_tocSize = nullptr;
    QLineEdit* m_meta = nullptr;
    FormatListBox* m_audioList = nullptr;
    FormatListBox* m_videoList = nullptr;
    QPushButton* m_ok = nullptr;
    QWidget* m_audioPanel = nullptr; // recorded by m_audioSlot
    QWidget* m_videoPanel = nullptr; // recorded by m_videoSlot
    std::unique_ptr<CodecPanelSlot> m_audioSlot;
    std::unique_ptr<CodecPanelSlot> m_videoSlot;
};

} // namespace moxel
