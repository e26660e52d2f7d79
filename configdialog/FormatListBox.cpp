#include "configdialog/FormatListBox.h"

namespace moxel {

FormatListBox::FormatListBox(QWidget* parent) : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(this, &QComboBox::activated, this, [this](int) { notify(); });
}

void FormatListBox::addFormat(const std::string& displayName, uint32_t format)
{
    addItem(QString::fromStdString(displayName), QVariant::fromValue<uint>(format));
}

void FormatListBox::selectFormat(uint32_t format)
{
    int selected = -1;
    for (int i = 0; i < count(); ++i)
        if (itemData(i).toUInt() == format)
            selected = i;
    setCurrentIndex(selected);
}

std::optional<uint32_t> FormatListBox::selectedFormat() const
{
    if (currentIndex() < 0)
        return std::nullopt;
    return uint32_t(currentData().toUInt());
}

void FormatListBox::showPopup()
{
    m_popupOpen = true;
    QComboBox::showPopup();
}

void FormatListBox::hidePopup()
{
    QComboBox::hidePopup();
    // Qt also calls this when the list itself is hidden, with no list open.
    if (m_popupOpen) {
        m_popupOpen = false;
        notify();
    }
}

void FormatListBox::notify()
{
    if (m_notify)
        m_notify();
}

} // namespace moxel
