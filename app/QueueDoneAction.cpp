#include "app/QueueDoneAction.h"

#include "settings/SettingsFile.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace moxel::gui {

namespace {

struct ChoiceRow {
    QueueDoneChoice choice;
    const char* word;
    const char* countdown; // %1: seconds left, %2: the command; null: at once
};

constexpr std::array<ChoiceRow, 6> kChoices = {{
    {QueueDoneChoice::Nothing, "nothing", nullptr},
    {QueueDoneChoice::Notify, "notify", nullptr},
    {QueueDoneChoice::Quit, "quit", "The queue is done. Moxel quits in %1 s."},
    {QueueDoneChoice::Suspend, "suspend", "The queue is done. The computer suspends in %1 s."},
    {QueueDoneChoice::ShutDown, "shutdown", "The queue is done. The computer shuts down in %1 s."},
    {QueueDoneChoice::RunCommand, "command", "The queue is done. Moxel runs\n%2\nin %1 s."},
}};

const ChoiceRow& rowOf(QueueDoneChoice choice)
{
    for (const ChoiceRow& row : kChoices)
        if (row.choice == choice)
            return row;
    return kChoices[0];
}

const char* const kChoiceKey = "done_action";
const char* const kCommandKey = "done_command";

} // namespace

QueueDoneAction::QueueDoneAction(SettingsFile& settings, QueueDoneHooks& hooks, QWidget* owner)
    : QObject(owner), m_settings(settings), m_hooks(&hooks), m_owner(owner)
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &QueueDoneAction::tick);
}

const char* QueueDoneAction::word(QueueDoneChoice choice)
{
    return rowOf(choice).word;
}

std::optional<QueueDoneChoice> QueueDoneAction::fromWord(const std::string& word)
{
    for (const ChoiceRow& row : kChoices)
        if (word == row.word)
            return row.choice;
    return std::nullopt;
}

QueueDoneChoice QueueDoneAction::choice() const
{
    return fromWord(m_settings.getString(kChoiceKey, word(QueueDoneChoice::Notify)))
        .value_or(QueueDoneChoice::Notify);
}

void QueueDoneAction::setChoice(QueueDoneChoice choice)
{
    m_settings.setString(kChoiceKey, word(choice));
}

QString QueueDoneAction::command() const
{
    return QString::fromStdString(m_settings.getString(kCommandKey, ""));
}

void QueueDoneAction::setCommand(const QString& command)
{
    m_settings.setString(kCommandKey, command.trimmed().toStdString());
}

void QueueDoneAction::queueFinished(const QString& outcome)
{
    const QueueDoneChoice chosen = choice();
    if (chosen == QueueDoneChoice::Nothing || counting())
        return;
    if (chosen == QueueDoneChoice::Notify) {
        m_hooks->notify(kNotifyTitle, outcome);
        return;
    }
    if (m_stoppedByUser) {
        emit reported("The queue was stopped by Abort: nothing more is done.");
        return;
    }
    if (chosen == QueueDoneChoice::RunCommand && command().isEmpty()) {
        emit reported("No command to run when the queue is done.");
        return;
    }
    m_pending = chosen;
    m_pendingCommand = command();
    m_secondsLeft = std::max(m_countdownSeconds, 0);
    if (m_secondsLeft == 0) {
        tick();
        return;
    }
    auto* window = new QDialog(m_owner);
    window->setObjectName(kCountdownName);
    window->setWindowTitle("When the queue is done");
    window->setAttribute(Qt::WA_DeleteOnClose);
    m_label = new QLabel;
    m_label->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton* now = buttons->addButton("Do it now", QDialogButtonBox::AcceptRole);
    connect(now, &QPushButton::clicked, this, [this] {
        m_secondsLeft = 0;
        tick();
    });
    // Cancel, Escape and the close box all stop it.
    connect(window, &QDialog::rejected, this, &QueueDoneAction::cancel);
    connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::reject);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(m_label);
    layout->addWidget(buttons);
    buttons->button(QDialogButtonBox::Cancel)->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setFocus();
    m_window = window;
    m_label->setText(countdownText());
    window->show();
    window->raise();
    m_timer.start();
}

QDialog* QueueDoneAction::countdownWindow() const
{
    return m_window.data();
}

QString QueueDoneAction::countdownText() const
{
    if (!m_pending)
        return {};
    const QString text = QString(rowOf(*m_pending).countdown).arg(m_secondsLeft);
    return *m_pending == QueueDoneChoice::RunCommand ? text.arg(m_pendingCommand) : text;
}

void QueueDoneAction::tick()
{
    if (!m_pending)
        return;
    if (m_secondsLeft > 0)
        --m_secondsLeft;
    if (m_secondsLeft > 0) {
        if (m_label)
            m_label->setText(countdownText());
        return;
    }
    const QueueDoneChoice chosen = *m_pending;
    m_pending.reset();
    m_timer.stop();
    if (m_window) {
        // Closed without the rejected signal, which means cancel.
        m_window->disconnect(this);
        m_window->close();
    }
    carryOut(chosen);
}

void QueueDoneAction::cancel()
{
    if (!m_pending)
        return;
    m_pending.reset();
    m_timer.stop();
    if (m_window) {
        m_window->disconnect(this);
        m_window->close();
    }
    emit reported("Cancelled: nothing is done now that the queue is done.");
}

void QueueDoneAction::carryOut(QueueDoneChoice chosen)
{
    QString error;
    bool done = true;
    switch (chosen) {
    case QueueDoneChoice::Nothing:
    case QueueDoneChoice::Notify:
        return;
    case QueueDoneChoice::Quit:
        emit reported("The queue is done: Moxel quits.");
        m_hooks->quit();
        return;
    case QueueDoneChoice::Suspend:
        emit reported("The queue is done: the computer suspends.");
        done = m_hooks->suspend(&error);
        break;
    case QueueDoneChoice::ShutDown:
        emit reported("The queue is done: the computer shuts down.");
        done = m_hooks->powerOff(&error);
        break;
    case QueueDoneChoice::RunCommand:
        emit reported("The queue is done: running " + m_pendingCommand);
        done = m_hooks->runCommand(m_pendingCommand, &error);
        break;
    }
    if (!done)
        emit reported("That could not be done: " + error);
}

} // namespace moxel::gui
