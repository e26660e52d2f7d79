// The drop-down list of audio or video formats in the encoder configuration.
// Each entry carries its FourCC. The owner hears of every use of the list,
// not only of a change of selection: picking an entry (the same one too) and
// closing the list both notify, so that the codec panel is made afresh.
#pragma once

#include <QComboBox>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace moxel {

class FormatListBox : public QComboBox {
  public:
    explicit FormatListBox(QWidget* parent = nullptr);

    // Adds an entry at the end.
    void addFormat(const std::string& displayName, uint32_t format);
    // Selects the last entry carrying format, or none when no entry does.
    void selectFormat(uint32_t format);
    // The FourCC of the selected entry, or none without a selection.
    std::optional<uint32_t> selectedFormat() const;

    void setNotifyHandler(std::function<void()> handler) { m_notify = std::move(handler); }

    void showPopup() override;
    void hidePopup() override;

  private:
    void notify();

    std::function<void()> m_notify;
    bool m_popupOpen = false;
};

} // namespace moxel
