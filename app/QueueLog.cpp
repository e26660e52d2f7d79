#include "app/QueueLog.h"

#include "app/JobLogWindow.h"
#include "app/QueueMonitor.h"
#include "jobs/BatchList.h"

namespace moxel::gui {

namespace {

bool hasEnded(JobStatus status)
{
    return statusRow(status).outcome || status == JobStatus::Skipped;
}

const char* kindWord(QueueLogEntry::Kind kind)
{
    switch (kind) {
    case QueueLogEntry::Kind::Started:
        return "started";
    case QueueLogEntry::Kind::Complete:
        return "complete";
    case QueueLogEntry::Kind::Error:
        return "error";
    case QueueLogEntry::Kind::Aborted:
        return "aborted";
    case QueueLogEntry::Kind::Skipped:
        return "skipped";
    case QueueLogEntry::Kind::Note:
        break;
    }
    return "";
}

QueueLogEntry::Kind endKind(JobStatus status)
{
    switch (status) {
    case JobStatus::Complete:
        return QueueLogEntry::Kind::Complete;
    case JobStatus::Error:
        return QueueLogEntry::Kind::Error;
    case JobStatus::Aborted:
        return QueueLogEntry::Kind::Aborted;
    default:
        return QueueLogEntry::Kind::Skipped;
    }
}

} // namespace

QueueLog::QueueLog(BatchList& list, QObject* parent) : QObject(parent), m_list(list) {}

void QueueLog::update()
{
    std::map<const BatchJob*, JobStatus> seen;
    for (int i = 0; i < m_list.count(); ++i) {
        const BatchJob& job = m_list.job(i);
        const JobStatus now = job.statusValue();
        seen[&job] = now;
        if (!m_looked)
            continue;
        const auto earlier = m_seen.find(&job);
        const JobStatus before = earlier == m_seen.end() ? JobStatus::Idle : earlier->second;
        if (before == now)
            continue;
        const bool wasWorking = statusRow(before).working;
        // A job that started and ended between two looks is noted as both.
        if (!wasWorking && (statusRow(now).working || statusRow(now).hadWorker()))
            noteStart(job);
        if (!hasEnded(before) && hasEnded(now))
            noteEnd(job, now);
    }
    m_seen = std::move(seen);
    m_looked = true;
}

void QueueLog::noteStart(const BatchJob& job)
{
    const JobLogSnapshot log = job.workerBlock.log.snapshot();
    QueueLogEntry entry;
    entry.time = log.started ? localTime(*log.started) : QDateTime::currentDateTime();
    entry.kind = QueueLogEntry::Kind::Started;
    entry.source = QString::fromStdString(job.sourcePath);
    entry.destination = QString::fromStdString(job.destPath);
    add(std::move(entry));
    emit jobStarted();
}

void QueueLog::noteEnd(const BatchJob& job, JobStatus status)
{
    const JobLogSnapshot log = job.workerBlock.log.snapshot();
    QueueLogEntry entry;
    // The worker gives the job its outcome before it closes the output and
    // notes its end time: an end seen in between is timed now.
    const JobClock::time_point ended = log.ended ? *log.ended : JobClock::now();
    entry.time = localTime(ended);
    entry.kind = endKind(status);
    entry.source = QString::fromStdString(job.sourcePath);
    entry.destination = QString::fromStdString(job.destPath);
    entry.text = QString::fromStdString(log.errorText);
    if (entry.kind == QueueLogEntry::Kind::Complete && log.started)
        entry.text = "took " + QueueMonitor::formatDuration(
                                   std::chrono::duration<double>(ended - *log.started).count());
    add(std::move(entry));
}

void QueueLog::addNote(const QString& text)
{
    QueueLogEntry entry;
    entry.time = QDateTime::currentDateTime();
    entry.kind = QueueLogEntry::Kind::Note;
    entry.text = text;
    add(std::move(entry));
}

void QueueLog::add(QueueLogEntry entry)
{
    m_entries.push_back(std::move(entry));
    while (m_entries.size() > kMaxEntries)
        m_entries.pop_front();
    emit entryAdded(m_entries.back());
}

QString QueueLog::format(const QueueLogEntry& entry)
{
    QString line = entry.time.toString("yyyy-MM-dd hh:mm:ss") + "  ";
    if (entry.kind == QueueLogEntry::Kind::Note)
        return line + entry.text;
    line += QString(kindWord(entry.kind)).leftJustified(9) + entry.source;
    if (entry.kind == QueueLogEntry::Kind::Started)
        line += " → " + entry.destination;
    if (!entry.text.isEmpty()) {
        QString text = entry.text;
        line +=
            (entry.kind == QueueLogEntry::Kind::Complete ? ", " : ": ") + text.replace('\n', "  ");
    }
    return line;
}

} // namespace moxel::gui
