#include "app/MainWindow.h"

#include "app/BatchListWidget.h"
#include "app/BundledProfiles.h"
#include "app/DesktopNotifier.h"
#include "app/DroppedFiles.h"
#include "app/GuiBatchDialogs.h"
#include "app/GuiPrompt.h"
#include "app/MessageBoxes.h"
#include "app/PreferencesDialog.h"
#include "app/ProfileManagerHook.h"
#include "app/QueueCommands.h"
#include "app/QueueDoneAction.h"
#include "app/QueueFile.h"
#include "app/QueueMonitor.h"
#include "app/SessionActions.h"
#include "app/ToolIcons.h"
#include "encoder/CodecPlugins.h"
#include "jobs/BatchCommands.h"
#include "jobs/BatchList.h"
#include "jobs/ProfileStore.h"
#include "settings/ProgramFolders.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>
#include <string>

namespace moxel::gui {

namespace {

constexpr std::array<int, BatchListWidget::kColumns> kDefaultColumnWidths{200, 200, 120, 100, 200};
constexpr int kKeepQueueMs = 500;

struct ButtonSpec {
    CommandId id;
    ToolIcon icon;
    const char* tip;
    bool gapBefore; // the buttons come in pairs
};

const ButtonSpec kButtons[] = {
    {CommandId::AddSourcesButton, ToolIcon::AddSources, "Add Source Files", false},
    {CommandId::RemoveSelectedButton, ToolIcon::RemoveSelected, "Remove Selected", false},
    {CommandId::EncodeSelectedButton, ToolIcon::EncodeSelected, "Encode Selected", true},
    {CommandId::AbortSelectedButton, ToolIcon::AbortSelected, "Abort Selected", false},
    {CommandId::ProfileManagerButton, ToolIcon::ProfileManager, "Profile Manager", true},
    {CommandId::PreferencesButton, ToolIcon::Preferences, "Preferences", false},
};

std::string columnKey(int column)
{
    return "main_col" + std::to_string(column + 1);
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), m_folders(programFolders()), m_prompt(std::make_unique<GuiPrompt>(this)),
      m_placement("m", {20, 20, 750, 400})
{
    setObjectName("Moxel_Main");
    setWindowIcon(toolIcon(ToolIcon::Program));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(670, 460);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    auto* buttonRow = new QWidget;
    buildButtons(buttonRow);
    layout->addWidget(buttonRow);
    m_list = new BatchListWidget;
    layout->addWidget(m_list, 1);
    setCentralWidget(central);
    m_list->setFocus(); // the window opens with the keyboard on the list

    m_menu = buildMainMenu(*this, [this](CommandId id) { runCommand(id); });
    connect(m_list, &BatchListWidget::contextMenuRequested, this,
            [this](const QPoint& at) { m_menu.selectionMenu->popup(at); });

    m_placement.restore(*this, *m_folders.settings);
    setWindowTitle("Moxel");
    restoreColumns();

    SettingsFile& settings = *m_folders.settings;
    m_profiles = std::make_unique<ProfileStore>();
    m_batch = std::make_unique<BatchList>(*m_profiles, *m_prompt);
    m_batch->setView(m_list);
    m_dialogs = std::make_unique<GuiBatchDialogs>(this, *m_profiles, *m_batch, settings);
    m_commands = std::make_unique<BatchCommands>(*m_batch, *m_profiles, settings, *m_dialogs,
                                                 *m_prompt, m_folders.programFolder);
    m_queue = std::make_unique<QueueFile>(m_folders.configFolder + "/" + QueueFile::kFileName,
                                          *m_batch, *m_profiles);
    std::error_code noIndex;
    const bool newProfileFolder =
        !std::filesystem::exists(m_folders.profilesFolder + "/index.txt", noIndex);
    m_profiles->loadAll(*m_prompt);
    if (newProfileFolder)
        addBundledProfiles(*m_profiles, bundledProfilesFolder(m_folders.programFolder));
    m_queue->load(*m_commands);

    m_statusLabel = new QLabel;
    statusBar()->addWidget(m_statusLabel, 1);
    m_progressLabel = new QLabel;
    m_progressBar = new QProgressBar;
    m_progressBar->setRange(0, 100);
    m_progressBar->setTextVisible(false);
    m_progressBar->setFixedWidth(120);
    m_progressBar->setMaximumHeight(m_progressLabel->sizeHint().height());
    statusBar()->addPermanentWidget(m_progressLabel);
    statusBar()->addPermanentWidget(m_progressBar);
    statusBar()->setSizeGripEnabled(true);
    showQueueProgress({}, -1);
    m_monitor = new QueueMonitor(*m_batch, *m_list, this);
    m_notifier = new DesktopNotifier(this);
    connect(m_monitor, &QueueMonitor::summaryChanged, m_statusLabel, &QLabel::setText);
    connect(m_monitor, &QueueMonitor::progressChanged, this, &MainWindow::showQueueProgress);
    m_session = std::make_unique<SessionActions>(*m_notifier, [this] { quitWithoutAsking(); });
    m_queueCommands = new QueueCommands(this, *m_batch, *m_list, settings, *m_prompt,
                                        m_menu.queueDoneMenu, *m_session);
    connect(m_monitor, &QueueMonitor::queueFinished, m_queueCommands,
            &QueueCommands::queueFinished);
    connect(m_queueCommands, &QueueCommands::listChanged, this, [this] {
        m_queue->saveIfChanged();
        m_monitor->update();
        emit listChanged();
    });
    connect(m_list, &BatchListWidget::pathsDropped, this,
            [this](const std::vector<std::string>& dropped) {
                std::vector<std::string> paths = expandDroppedPaths(dropped);
                if (!paths.empty() && !m_shutDown)
                    addSources(paths);
            });
    m_monitor->update();

    m_timer.setInterval(kTimerMs);
    connect(&m_timer, &QTimer::timeout, this, &MainWindow::tick);
    m_timer.start();
    // A job start that waits for an answer ("File Exists") holds the timer
    // above, which does not tick again until it returns: the kept queue
    // follows the jobs that end meanwhile on a timer of its own.
    auto* keepTimer = new QTimer(this);
    keepTimer->setInterval(kKeepQueueMs);
    connect(keepTimer, &QTimer::timeout, this, [this] {
        if (!m_shutDown)
            m_queue->saveIfChanged();
    });
    keepTimer->start();
    m_placementLive = true;
}

MainWindow::~MainWindow()
{
    m_timer.stop();
    m_prompt->shutDown();
    // A worker that is still running may yet ask something: the prompt,
    // shut down, answers at once, so it must stay for as long as the process.
    if (m_workersLeft || anyWorkerAlive()) {
        static auto* kept = new std::vector<GuiPrompt*>;
        kept->push_back(m_prompt.release());
    }
}

bool MainWindow::anyWorkerAlive() const
{
    for (int i = 0; i < m_batch->count(); ++i) {
        const BatchJob& job = m_batch->job(i);
        if (job.statusRow().hadWorker() &&
            job.workerBlock.workerDone.load(std::memory_order_acquire) == 0)
            return true;
    }
    return false;
}

void MainWindow::buildButtons(QWidget* row)
{
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        const ButtonSpec& spec = kButtons[i];
        if (spec.gapBefore)
            layout->addSpacing(8);
        auto* button = new QToolButton;
        button->setIcon(toolIcon(spec.icon));
        button->setIconSize(QSize(16, 16));
        button->setToolTip(spec.tip);
        button->setAccessibleName(spec.tip);
        button->setFocusPolicy(Qt::TabFocus);
        button->setFixedSize(28, 24);
        const CommandId id = spec.id;
        connect(button, &QToolButton::clicked, this, [this, id] { runCommand(id); });
        layout->addWidget(button);
        m_buttons[i] = button;
    }
    layout->addStretch(1);
}

QToolButton* MainWindow::button(CommandId id) const
{
    for (size_t i = 0; i < std::size(kButtons); ++i)
        if (kButtons[i].id == id)
            return m_buttons[i];
    return nullptr;
}

void MainWindow::restoreColumns()
{
    std::array<int, BatchListWidget::kColumns> widths{};
    for (int column = 0; column < BatchListWidget::kColumns; ++column)
        widths[size_t(column)] =
            m_folders.settings->getInt(columnKey(column), kDefaultColumnWidths[size_t(column)]);
    m_list->setColumnWidths(widths);
}

void MainWindow::saveColumns()
{
    const auto widths = m_list->columnWidths();
    for (int column = 0; column < BatchListWidget::kColumns; ++column)
        m_folders.settings->setInt(columnKey(column), widths[size_t(column)]);
}

void MainWindow::runCommand(CommandId id)
{
    emit commandRun(id);
    m_queueCommands->noteCommand(id);
    BatchList& batch = *m_batch;
    BatchCommands& commands = *m_commands;
    using C = CommandId;
    switch (id) {
    case C::AddSources:
    case C::AddSourcesButton:
        commands.addSourceFiles();
        break;
    case C::RemoveSelected:
    case C::RemoveSelectedButton:
        batch.removeJobs(false);
        break;
    case C::RemoveAll:
        batch.removeJobs(true);
        break;
    case C::EncodeSelected:
    case C::EncodeSelectedButton:
        batch.encodeJobs(false);
        break;
    case C::EncodeAll:
        batch.encodeJobs(true);
        break;
    case C::AbortSelected:
    case C::AbortSelectedButton:
        batch.abortJobs(false);
        break;
    case C::AbortAll:
        batch.abortJobs(true);
        break;
    case C::PauseAll:
        batch.pauseAll();
        break;
    case C::UnpauseAll:
        batch.unpauseAll();
        break;
    case C::ResetSelected:
        batch.resetStatus(false);
        break;
    case C::ResetAll:
        batch.resetStatus(true);
        break;
    case C::ClearCompleted:
        batch.clearCompleted();
        break;
    case C::ChangeProfile:
        commands.changeProfile();
        break;
    case C::ChangeFilename:
        commands.changeOutputFilename();
        break;
    case C::ChangePath:
        commands.changeOutputPath();
        break;
    case C::SelectAll:
    case C::SelectAllKey:
        batch.selectAll();
        break;
    case C::DeselectAll:
    case C::DeselectAllKey:
        batch.deselectAll();
        break;
    case C::SaveBatch:
        commands.saveBatch();
        break;
    case C::LoadBatch:
        commands.loadBatch();
        break;
    case C::ImportBatch:
        commands.importBatch();
        break;
    case C::ExportSelected:
        commands.exportSelected();
        break;
    case C::ProfileManager:
    case C::ProfileManagerButton:
        openProfileManager();
        break;
    case C::Preferences:
    case C::PreferencesButton:
        openPreferences();
        break;
    case C::Exit:
        close();
        return;
    case C::About:
        showAbout(this);
        break;
    case C::MoveUp:
    case C::MoveDown:
    case C::ShowLog:
    case C::OpenOutputFolder:
    case C::RetryFailed:
    case C::QueueLog:
    case C::PauseOrResume:
    case C::RemoveSelectedKey:
    case C::DoneNothing:
    case C::DoneNotify:
    case C::DoneQuit:
    case C::DoneSuspend:
    case C::DoneShutDown:
    case C::DoneRunCommand:
        m_queueCommands->run(id);
        break;
    }
    if (!m_shutDown) {
        m_queue->saveIfChanged();
        m_queueCommands->update();
        m_monitor->update();
    }
    emit listChanged();
}

bool MainWindow::addSources(const std::vector<std::string>& paths)
{
    const bool added = m_commands->addSources(paths);
    m_queue->saveIfChanged();
    m_queueCommands->update();
    m_monitor->update();
    emit listChanged();
    return added;
}

void MainWindow::tick()
{
    m_batch->scheduleNext();
    m_queue->saveIfChanged();
    m_queueCommands->update();
    m_monitor->update();
    emit listChanged();
}

void MainWindow::showQueueProgress(const QString& text, int percent)
{
    const bool running = percent >= 0;
    m_progressLabel->setText(text);
    m_progressLabel->setVisible(running);
    m_progressBar->setValue(std::max(percent, 0));
    m_progressBar->setVisible(running);
    setWindowTitle(running ? QString("%1% Moxel").arg(percent) : QString("Moxel"));
}

void MainWindow::openPreferences()
{
    PreferencesDialog dialog(m_folders, this);
    dialog.exec();
}

void MainWindow::openProfileManager()
{
    if (ProfileManagerOpener open = profileManagerOpener())
        open(this, *m_profiles, *m_batch);
    // Names and the jobs' profile positions may have changed.
    m_batch->syncFromView();
    m_batch->rebuildView();
}

void MainWindow::quitWithoutAsking()
{
    m_quitWithoutAsking = true;
    close();
}

void MainWindow::shutDown()
{
    m_queueCommands->doneAction().cancel();
    std::vector<BatchJob*> running;
    for (int i = 0; i < m_batch->count(); ++i)
        if (m_batch->job(i).statusRow().working)
            running.push_back(&m_batch->job(i));
    m_batch->abortJobs(true);
    // A worker waiting for an answer could not see its abort.
    m_prompt->shutDown();
    m_workersLeft = !m_batch->waitUntilSettled(kSettleWaitMs);
    // Stopped by the closing, not by the user: kept as not done.
    for (BatchJob* job : running)
        if (job->isSettled() && job->statusValue() == JobStatus::Aborted)
            job->setStatus(JobStatus::Idle);
    m_queue->saveIfChanged();
    saveColumns();
    unloadCodecPlugins();
    m_timer.stop();
    m_shutDown = true;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_shutDown) {
        event->accept();
        return;
    }
    if (!m_quitWithoutAsking && m_folders.settings->getInt("confirmquit", 1) != 0 &&
        !confirmClose(this)) {
        event->ignore();
        return;
    }
    shutDown();
    event->accept();
    emit closed();
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (m_placementLive && isVisible())
        m_placement.recordMove(*this, *m_folders.settings);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_placementLive && isVisible())
        m_placement.recordSize(*this, *m_folders.settings);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_placementLive && !event->spontaneous()) {
        m_placement.recordMove(*this, *m_folders.settings);
        m_placement.recordSize(*this, *m_folders.settings);
    }
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_placementLive && isVisible())
        m_placement.recordSize(*this, *m_folders.settings);
}

} // namespace moxel::gui
