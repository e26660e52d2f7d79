#include "app/JobLogWindow.h"

#include "app/QueueMonitor.h"
#include "jobs/BatchList.h"
#include "jobs/JobPaths.h"
#include "jobs/ProfileStore.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>

namespace moxel::gui {

namespace {

const char* levelWord(DiagnosticLevel level)
{
    switch (level) {
    case DiagnosticLevel::Error:
        return "error";
    case DiagnosticLevel::Warning:
        return "warning";
    case DiagnosticLevel::Info:
        return "info";
    case DiagnosticLevel::Debug:
        break;
    }
    return "debug";
}

bool inList(const BatchList& list, const BatchJob* job)
{
    for (int i = 0; i < list.count(); ++i)
        if (&list.job(i) == job)
            return true;
    return false;
}

} // namespace

QDateTime localTime(JobClock::time_point time)
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(qint64(ms));
}

QString jobLogText(const BatchList& list, const BatchJob& job)
{
    const JobLogSnapshot log = job.workerBlock.log.snapshot();
    QString text;
    auto line = [&text](const QString& name, const QString& value) {
        text += name + ": " + value + "\n";
    };
    line("Source", QString::fromStdString(job.sourcePath));
    line("Destination", QString::fromStdString(job.destPath));
    line("Profile", QString::fromStdString(list.profiles().displayName(job.profileIndex)));
    line("Status", QString::fromStdString(statusText(job)));
    auto when = [](JobClock::time_point time) {
        return localTime(time).toString("yyyy-MM-dd hh:mm:ss");
    };
    if (!log.started) {
        text += "\nThis job has not run yet in this session of the program.\n";
        if (!log.errorText.empty())
            text += "\nMessages of its last run:\n" + QString::fromStdString(log.errorText) + "\n";
        return text;
    }
    line("Started", when(*log.started));
    if (log.ended)
        line("Ended", when(*log.ended) + " (" +
                          QueueMonitor::formatDuration(
                              std::chrono::duration<double>(*log.ended - *log.started).count()) +
                          ")");
    if (!log.errorText.empty())
        text += "\nMessages:\n" + QString::fromStdString(log.errorText) + "\n";
    if (log.counters) {
        text += "\nCounters:\n";
        for (const JobCounterField& field : kJobCounterFields)
            if (!field.streamOnly || log.counters->stream != 0)
                text += QString("  %1: %2\n")
                            .arg(QString::fromLatin1(field.name))
                            .arg((*log.counters).*field.value);
    }
    text += "\nLines:\n";
    const size_t headLines = std::min(log.lines.size(), RecordingDiagnosticSink::Bound{}.head);
    for (size_t i = 0; i < log.lines.size(); ++i) {
        if (i == headLines && log.linesLeftOut > 0)
            text += QString("  ... %1 lines left out ...\n").arg(log.linesLeftOut);
        const KeptDiagnosticLine& kept = log.lines[i];
        text += QString("  %1 [%2] %3\n")
                    .arg(QString::fromLatin1(levelWord(kept.level)),
                         QString::fromStdString(kept.tag), QString::fromStdString(kept.line));
    }
    if (log.lines.empty())
        text += "  (none)\n";
    return text;
}

JobLogWindow::JobLogWindow(BatchList& list, const BatchJob& job, QWidget* owner)
    : QDialog(owner), m_list(list), m_job(&job), m_source(job.sourcePath),
      m_text(new QPlainTextEdit)
{
    setObjectName(kObjectName);
    setWindowTitle("Log: " + QString::fromStdString(std::string(fileNamePart(job.sourcePath))));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(720, 440);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QPushButton* again = buttons->addButton("Refresh", QDialogButtonBox::ActionRole);
    connect(again, &QPushButton::clicked, this, &JobLogWindow::refresh);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(buttons);
    m_follow.setInterval(kFollowMs);
    connect(&m_follow, &QTimer::timeout, this, &JobLogWindow::refresh);
    refresh();
}

void JobLogWindow::refresh()
{
    if (!m_job)
        return;
    if (!inList(m_list, m_job) || m_job->sourcePath != m_source) {
        m_job = nullptr;
        m_follow.stop();
        m_text->appendPlainText("\n(The job has left the list.)");
        return;
    }
    const QString text = jobLogText(m_list, *m_job);
    if (text != m_text->toPlainText()) {
        // A reader at the end follows new lines; anyone else stays put,
        // and a new window starts at the top.
        QScrollBar* bar = m_text->verticalScrollBar();
        const bool follow = !m_text->document()->isEmpty() && bar->value() == bar->maximum();
        const int at = bar->value();
        m_text->setPlainText(text);
        bar->setValue(follow ? bar->maximum() : at);
    }
    if (m_job->statusRow().inProgress())
        m_follow.start();
    else
        m_follow.stop();
}

} // namespace moxel::gui
