#include "app/MessageWindow.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace moxel::gui {

MessageWindow::MessageWindow(QWidget* owner) : QDialog(owner), m_list(new QListWidget)
{
    setObjectName(kObjectName);
    setWindowTitle("Job messages");
    setModal(false);
    resize(520, 260);
    m_list->setWordWrap(true);
    m_list->setAlternatingRowColors(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QPushButton* clear = buttons->addButton("Clear", QDialogButtonBox::ResetRole);
    connect(clear, &QPushButton::clicked, m_list, &QListWidget::clear);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
}

void MessageWindow::addMessage(const QString& title, const QString& text)
{
    m_list->addItem(title + ": " + text);
    m_list->scrollToBottom();
    show();
    raise();
}

int MessageWindow::count() const
{
    return m_list->count();
}

} // namespace moxel::gui
