#include "app/FileExistsDialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace moxel::gui {

FileExistsDialog::FileExistsDialog(const QString& message, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("File Exists");
    m_message = new QLabel(message);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setMinimumWidth(380);

    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(m_message, 1);

    const char* texts[] = {"Yes", "Overwrite All Files", "No", "Cancel job"};
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (int i = 0; i < 4; ++i) {
        // A focused auto-default button takes Enter itself: Enter on "No"
        // must never overwrite.
        m_buttons[i] = new QPushButton(texts[i]);
        m_buttons[i]->setAutoDefault(true);
        buttons->addWidget(m_buttons[i]);
        connect(m_buttons[i], &QPushButton::clicked, this, [this, i] { done(i); });
    }
    m_buttons[int(FileExistsAnswer::Yes)]->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    static_assert(int(FileExistsAnswer::Yes) == 0 && int(FileExistsAnswer::OverwriteAll) == 1 &&
                  int(FileExistsAnswer::No) == 2 && int(FileExistsAnswer::CancelJob) == 3);
    setResult(int(FileExistsAnswer::Yes));
}

FileExistsAnswer FileExistsDialog::ask()
{
    return FileExistsAnswer(exec());
}

QPushButton* FileExistsDialog::button(FileExistsAnswer which) const
{
    return m_buttons[int(which)];
}

void FileExistsDialog::closeEvent(QCloseEvent* event)
{
    if (isVisible())
        done(int(FileExistsAnswer::Yes));
    event->accept();
}

void FileExistsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_buttons[int(FileExistsAnswer::Yes)]->setFocus();
}

void FileExistsDialog::reject()
{
    done(int(FileExistsAnswer::CancelJob));
}

} // namespace moxel::gui
