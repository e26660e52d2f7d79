#include "app/ChangeFilenameDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace moxel::gui {

ChangeFilenameDialog::ChangeFilenameDialog(const std::string& fileName, QWidget* parent)
    : OkOnCloseDialog(parent)
{
    setWindowTitle("Change Output Filename");
    m_name = new QLineEdit(QString::fromStdString(fileName));
    m_name->setMinimumWidth(320);
    auto* label = new QLabel("Please enter the new destination filename:");
    label->setBuddy(m_name);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_name);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::string ChangeFilenameDialog::fileName() const
{
    return m_name->text().toStdString();
}

void ChangeFilenameDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_name->setFocus();
    m_name->selectAll();
}

} // namespace moxel::gui
