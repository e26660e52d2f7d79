#include "app/QueueMonitor.h"

#include "app/BatchListWidget.h"
#include "jobs/BatchList.h"

#include <QStringList>

#include <array>
#include <cmath>

namespace moxel::gui {

namespace {

using Clock = std::chrono::steady_clock;

// Below this much encoding time a rate says too little to promise a time.
constexpr auto kSteadyAfter = std::chrono::seconds(2);

} // namespace

QueueMonitor::QueueMonitor(BatchList& list, BatchListWidget& view, QObject* parent)
    : QObject(parent), m_list(list), m_view(view)
{
}

double QueueMonitor::mediaSeconds(const BatchJob& job)
{
    const int32_t progress = job.progress.load(std::memory_order_acquire);
    if (progress >= 0)
        return progress / 20000.0;
    const int32_t divisor = job.workerBlock.audioBytesPerSecond.load(std::memory_order_acquire) / 9;
    return divisor > 0 ? -double(progress) / divisor : 0.0;
}

QString QueueMonitor::formatDuration(double seconds)
{
    const long long whole = std::llround(std::max(seconds, 0.0));
    const long long hours = whole / 3600;
    const long long minutes = whole / 60 % 60;
    const long long secs = whole % 60;
    if (hours > 0)
        return QString::asprintf("%lld:%02lld:%02lld", hours, minutes, secs);
    return QString::asprintf("%lld:%02lld", minutes, secs);
}

void QueueMonitor::update()
{
    update(Clock::now());
}

void QueueMonitor::update(Clock::time_point now)
{
    std::array<int, kJobStatusTable.size()> counts{};
    bool active = false;
    for (int i = 0; i < m_list.count(); ++i) {
        const JobStatus status = m_list.job(i).statusValue();
        if (size_t(status) < counts.size())
            ++counts[size_t(status)];
        active = active || statusRow(status).inProgress();
    }
    for (int row = 0; row < m_view.rowCount(); ++row) {
        const int64_t index = m_view.itemData(row);
        if (index >= 0 && index < m_list.count()) {
            updateProgress(row, m_list.job(int(index)), now);
            updateToolTip(row, m_list.job(int(index)));
        }
    }

    QStringList parts;
    QStringList outcome;
    for (size_t state = 0; state < counts.size(); ++state) {
        const JobStatusRow& row = kJobStatusTable[state];
        if (counts[state] == 0 || !row.tally)
            continue;
        const QString part = QString("%1 %2").arg(counts[state]).arg(row.tally);
        parts << part;
        if (!row.inProgress())
            outcome << part;
    }
    const int jobs = m_list.count();
    QString text = jobs == 0   ? QString("No jobs")
                   : jobs == 1 ? QString("1 job")
                               : QString("%1 jobs").arg(jobs);
    if (!parts.isEmpty())
        text += ": " + parts.join(", ");
    if (text != m_summary) {
        m_summary = text;
        emit summaryChanged(text);
    }
    if (m_active && !active)
        emit queueFinished(outcome.isEmpty() ? QString("nothing was converted")
                                             : outcome.join(", "));
    m_active = active;
}

void QueueMonitor::updateProgress(int row, const BatchJob& job, Clock::time_point now)
{
    QTreeWidgetItem* item = m_view.topLevelItem(row);
    const int column = int(BatchColumn::Status);
    const JobStatus status = job.statusValue();
    if (!statusRow(status).converting) {
        m_timings.erase(&job);
        if (item->data(column, kFractionRole).isValid()) {
            item->setData(column, kFractionRole, QVariant());
            item->setData(column, kProgressTextRole, QVariant());
        }
        return;
    }
    Timing& timing = m_timings[&job];
    if (timing.running)
        timing.encoding += now - timing.last;
    timing.running = status == JobStatus::Encoding;
    timing.last = now;

    const std::optional<double> length = m_durations.length(job.sourcePath);
    if (!length || *length <= 0.0)
        return;
    const double done = mediaSeconds(job);
    const double fraction = std::clamp(done / *length, 0.0, 1.0);
    QString text = QString("%1%").arg(int(fraction * 100));
    const double wall = std::chrono::duration<double>(timing.encoding).count();
    if (timing.encoding >= kSteadyAfter && done > 0.0) {
        const double left = (*length - done) * wall / done;
        text += " · " + formatDuration(left) + " left";
    }
    item->setData(column, kFractionRole, fraction);
    item->setData(column, kProgressTextRole, text);
}

void QueueMonitor::updateToolTip(int row, const BatchJob& job)
{
    // A job's messages belong to how it ended; while it waits or runs they
    // would tell of an earlier run.
    const JobStatusRow& state = job.statusRow();
    const bool ended = state.outcome || state.status == JobStatus::Skipped;
    const QString tip = ended ? QString::fromStdString(job.workerBlock.log.errorText()) : QString();
    QTreeWidgetItem* item = m_view.topLevelItem(row);
    const int column = int(BatchColumn::Status);
    if (item->data(column, Qt::ToolTipRole).toString() != tip)
        item->setData(column, Qt::ToolTipRole, tip.isEmpty() ? QVariant() : QVariant(tip));
}

QString QueueMonitor::summary() const
{
    return m_summary;
}

} // namespace moxel::gui
