#include "app/QueueCommands.h"

#include "app/BatchListWidget.h"
#include "app/JobLogWindow.h"
#include "app/MainMenu.h"
#include "app/QueueDoneAction.h"
#include "app/QueueLog.h"
#include "app/QueueLogWindow.h"
#include "base/Prompt.h"
#include "encoder/StreamOutput.h"
#include "jobs/BatchList.h"
#include "jobs/JobPaths.h"

#include <QAction>
#include <QDesktopServices>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>

#include <filesystem>

namespace moxel::gui {

namespace {

struct DoneItem {
    CommandId id;
    QueueDoneChoice choice;
};

constexpr DoneItem kDoneItems[] = {
    {CommandId::DoneNothing, QueueDoneChoice::Nothing},
    {CommandId::DoneNotify, QueueDoneChoice::Notify},
    {CommandId::DoneQuit, QueueDoneChoice::Quit},
    {CommandId::DoneSuspend, QueueDoneChoice::Suspend},
    {CommandId::DoneShutDown, QueueDoneChoice::ShutDown},
    {CommandId::DoneRunCommand, QueueDoneChoice::RunCommand},
};

bool hasEnded(const BatchJob& job)
{
    return job.statusRow().outcome || job.statusValue() == JobStatus::Skipped;
}

} // namespace

std::string outputFolder(const std::string& destination)
{
    std::string file = destination;
    if (isStreamDestination(destination.c_str())) {
        const size_t plus = destination.rfind('+');
        if (plus == std::string::npos)
            return {};
        file = destination.substr(plus + 1);
    }
    return std::string(folderPart(file));
}

QueueCommands::QueueCommands(QWidget* owner, BatchList& list, BatchListWidget& view,
                             SettingsFile& settings, Prompt& prompt, QMenu* doneMenu,
                             QueueDoneHooks& hooks)
    : QObject(owner), m_owner(owner), m_list(list), m_view(view), m_prompt(prompt),
      m_doneMenu(doneMenu), m_log(std::make_unique<QueueLog>(list)),
      m_done(new QueueDoneAction(settings, hooks, owner)),
      m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      m_askCommand([owner](const QString& current) -> std::optional<QString> {
          bool ok = false;
          const QString command = QInputDialog::getText(
              owner, "When the queue is done",
              "Command to run when the queue is done:", QLineEdit::Normal, current, &ok);
          return ok ? std::optional<QString>(command) : std::nullopt;
      })
{
    connect(m_log.get(), &QueueLog::jobStarted, m_done, &QueueDoneAction::noteJobStarted);
    connect(m_done, &QueueDoneAction::reported, m_log.get(), &QueueLog::addNote);
    connect(&m_view, &BatchListWidget::rowDoubleClicked, this, &QueueCommands::showLogOfRow);
    connect(&m_view, &BatchListWidget::rowsDragged, this, &QueueCommands::moveRows);
    checkChoice();
    m_log->update();
}

QueueCommands::~QueueCommands() = default;

void QueueCommands::noteCommand(CommandId id)
{
    if (id == CommandId::AbortAll || id == CommandId::AbortSelected ||
        id == CommandId::AbortSelectedButton) {
        // Starts seen late must not count as coming after the abort.
        m_log->update();
        m_done->noteAbort();
    }
}

void QueueCommands::run(CommandId id)
{
    using C = CommandId;
    switch (id) {
    case C::MoveUp:
    case C::MoveDown:
        m_list.moveSelected(id == C::MoveUp ? BatchList::Direction::Up
                                            : BatchList::Direction::Down);
        if (QTreeWidgetItem* current = m_view.currentItem())
            m_view.scrollToItem(current);
        break;
    case C::RemoveSelectedKey:
        m_list.removeJobs(false);
        break;
    case C::PauseOrResume:
        pauseOrResume();
        break;
    case C::RetryFailed:
        m_list.retryFailed();
        break;
    case C::ShowLog:
        if (const BatchJob* job = chosenJob())
            showLog(*job);
        break;
    case C::OpenOutputFolder:
        openOutputFolder();
        break;
    case C::QueueLog:
        if (!m_logWindow)
            m_logWindow = new QueueLogWindow(*m_log, m_owner);
        m_logWindow->show();
        m_logWindow->raise();
        break;
    default:
        choose(id);
        break;
    }
}

void QueueCommands::update()
{
    m_log->update();
}

void QueueCommands::queueFinished(const QString& outcome)
{
    m_done->queueFinished(outcome);
}

void QueueCommands::pauseOrResume()
{
    bool encoding = false;
    for (int i = 0; i < m_list.count() && !encoding; ++i)
        encoding = m_list.job(i).statusValue() == JobStatus::Encoding;
    if (encoding)
        m_list.pauseAll();
    else
        m_list.unpauseAll();
}

BatchJob* QueueCommands::chosenJob()
{
    m_list.syncFromView();
    const int focus = m_list.focusRow();
    if (focus < m_list.count() && m_list.job(focus).selected)
        return &m_list.job(focus);
    for (int i = 0; i < m_list.count(); ++i)
        if (m_list.job(i).selected)
            return &m_list.job(i);
    m_prompt.showMessage("Oops", "Please select something first...");
    return nullptr;
}

void QueueCommands::showLogOfRow(int row)
{
    const int64_t index = m_view.itemData(row);
    if (index < 0 || index >= m_list.count())
        return;
    const BatchJob& job = m_list.job(int(index));
    if (hasEnded(job))
        showLog(job);
}

void QueueCommands::showLog(const BatchJob& job)
{
    QPointer<JobLogWindow>& window = m_jobLogs[&job];
    // A window left from a job whose record now holds another is done with.
    if (window && window->job() != &job) {
        window->close();
        window = nullptr;
    }
    if (!window)
        window = new JobLogWindow(m_list, job, m_owner);
    else
        window->refresh();
    window->show();
    window->raise();
    window->activateWindow();
}

QueueLogWindow* QueueCommands::queueLogWindow() const
{
    return m_logWindow.data();
}

JobLogWindow* QueueCommands::logWindow(const BatchJob& job) const
{
    const auto found = m_jobLogs.find(&job);
    return found == m_jobLogs.end() ? nullptr : found->second.data();
}

void QueueCommands::openOutputFolder()
{
    const BatchJob* job = chosenJob();
    if (!job)
        return;
    const std::string folder = outputFolder(job->destPath);
    if (folder.empty()) {
        m_prompt.showMessage("Open Output Folder",
                             "This job sends its output to a stream server and keeps no copy:\n" +
                                 job->destPath);
        return;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        m_prompt.showMessage("Open Output Folder",
                             "The output folder does not exist yet:\n" + folder);
        return;
    }
    if (!m_openUrl(QUrl::fromLocalFile(QString::fromStdString(folder))))
        m_prompt.showMessage("Open Output Folder", "No program here opens folders:\n" + folder);
}

void QueueCommands::moveRows(const std::vector<int>& rows, int before)
{
    if (m_list.moveRows(rows, before))
        emit listChanged();
}

void QueueCommands::choose(CommandId id)
{
    for (const DoneItem& item : kDoneItems) {
        if (item.id != id)
            continue;
        if (item.choice == QueueDoneChoice::RunCommand) {
            const std::optional<QString> command = m_askCommand(m_done->command());
            if (command && !command->trimmed().isEmpty()) {
                m_done->setCommand(*command);
                m_done->setChoice(item.choice);
            }
        } else {
            m_done->setChoice(item.choice);
        }
    }
    checkChoice();
}

void QueueCommands::checkChoice()
{
    if (!m_doneMenu)
        return;
    const QueueDoneChoice current = m_done->choice();
    for (QAction* action : m_doneMenu->actions())
        for (const DoneItem& item : kDoneItems)
            if (commandOf(*action) == item.id)
                action->setChecked(item.choice == current);
}

} // namespace moxel::gui
