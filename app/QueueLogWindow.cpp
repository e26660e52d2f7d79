#include "app/QueueLogWindow.h"

#include "app/QueueLog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace moxel::gui {

QueueLogWindow::QueueLogWindow(const QueueLog& log, QWidget* owner)
    : QDialog(owner), m_text(new QPlainTextEdit)
{
    setObjectName(kObjectName);
    setWindowTitle("Queue log");
    setModal(false);
    resize(760, 320);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setMaximumBlockCount(int(QueueLog::kMaxEntries));
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(buttons);
    for (const QueueLogEntry& entry : log.entries())
        append(entry);
    connect(&log, &QueueLog::entryAdded, this, &QueueLogWindow::append);
}

void QueueLogWindow::append(const QueueLogEntry& entry)
{
    m_text->appendPlainText(QueueLog::format(entry));
}

} // namespace moxel::gui
