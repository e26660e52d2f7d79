#include "app/ChangeProfileDialog.h"

#include "app/ProfileListBox.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace moxel::gui {

ChangeProfileDialog::ChangeProfileDialog(const std::vector<std::string>& names, int highlighted,
                                         QWidget* parent)
    : OkOnCloseDialog(parent)
{
    setWindowTitle("Change Profile");
    m_profiles = new ProfileListBox;
    m_profiles->setProfiles(names, highlighted);
    connect(m_profiles, &QListWidget::itemDoubleClicked, this, &QDialog::accept);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_profiles, 1);
    layout->addWidget(buttons);
    resize(320, 260);
    m_profiles->setFocus();
}

int ChangeProfileDialog::highlightedProfile() const
{
    return m_profiles->highlighted();
}

} // namespace moxel::gui
