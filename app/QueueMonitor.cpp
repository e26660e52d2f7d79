#include "app/QueueMonitor.h"

#include "app/BatchListWidget.h"
#include "jobs/BatchList.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace moxel::gui {

namespace {

using Clock = std::chrono::steady_clock;

// Below this much encoding time a rate says too little to promise a time.
constexpr auto kSteadyAfter = std::chrono::seconds(2);

QString formatSpeed(double framesPerSecond)
{
    return QString::number(framesPerSecond, 'f', framesPerSecond < 10.0 ? 1 : 0) + " fps";
}

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

QString QueueMonitor::formatFrameRate(double framesPerSecond)
{
    // Up to three decimals, as rates are given: 25, 29.97, 23.976.
    QString text = QString::number(framesPerSecond, 'f', 3);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text + " fps";
}

QString QueueMonitor::metaText(const BatchJob& job)
{
    const JobWorkerBlock& block = job.workerBlock;
    const int32_t lengthMs = block.durationMs.load(std::memory_order_relaxed);
    const int32_t width = block.sourceWidth.load(std::memory_order_relaxed);
    const int32_t height = block.sourceHeight.load(std::memory_order_relaxed);
    const double rate = block.sourceFrameRate.load(std::memory_order_relaxed);
    QStringList parts;
    if (lengthMs > 0)
        parts << formatDuration(lengthMs / 1000.0);
    if (width > 0 && height > 0)
        parts << QString("%1x%2").arg(width).arg(height);
    if (rate > 0.0)
        parts << formatFrameRate(rate);
    return parts.join(" · ");
}

double QueueMonitor::lengthOf(const BatchJob& job)
{
    const int32_t lengthMs = job.workerBlock.durationMs.load(std::memory_order_relaxed);
    if (lengthMs > 0)
        return lengthMs / 1000.0;
    return m_durations.length(job.sourcePath).value_or(0.0);
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
        const BatchJob& job = m_list.job(i);
        const JobStatus status = job.statusValue();
        if (size_t(status) < counts.size())
            ++counts[size_t(status)];
        active = active || statusRow(status).inProgress();
        observe(job, now);
    }
    for (int row = 0; row < m_view.rowCount(); ++row) {
        const int64_t index = m_view.itemData(row);
        if (index >= 0 && index < m_list.count()) {
            const BatchJob& job = m_list.job(int(index));
            updateProgress(row, job);
            updateMeta(row, job);
            updateToolTip(row, job);
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
    updateRun(active, now);
    if (m_active && !active)
        emit queueFinished(outcome.isEmpty() ? QString("nothing was converted")
                                             : outcome.join(", "));
    m_active = active;
}

void QueueMonitor::observe(const BatchJob& job, Clock::time_point now)
{
    const JobStatus status = job.statusValue();
    if (statusRow(status).inProgress())
        m_run.insert(&job);
    if (!statusRow(status).converting) {
        m_paces.erase(&job);
        return;
    }
    m_paces[&job].observe(now, status == JobStatus::Encoding,
                          job.workerBlock.framesProduced.load(std::memory_order_relaxed));
}

void QueueMonitor::updateProgress(int row, const BatchJob& job)
{
    QTreeWidgetItem* item = m_view.topLevelItem(row);
    const int column = int(BatchColumn::Status);
    const auto pace = m_paces.find(&job);
    const double length = pace == m_paces.end() ? 0.0 : lengthOf(job);
    if (length <= 0.0) {
        // Not running, or its length is not known (yet): the status text alone.
        if (item->data(column, kFractionRole).isValid()) {
            item->setData(column, kFractionRole, QVariant());
            item->setData(column, kProgressTextRole, QVariant());
            item->setData(column, kTimeLeftRole, QVariant());
        }
        return;
    }
    const double done = mediaSeconds(job);
    const double fraction = std::clamp(done / length, 0.0, 1.0);
    QString text = QString("%1%").arg(int(fraction * 100));
    QVariant left;
    if (pace->second.encodingTime() >= kSteadyAfter && done > 0.0) {
        left = formatDuration((length - done) * pace->second.encodingSeconds() / done);
        text += " · " + left.toString() + " left";
    }
    item->setData(column, kFractionRole, fraction);
    item->setData(column, kProgressTextRole, text);
    item->setData(column, kTimeLeftRole, left);
}

void QueueMonitor::updateMeta(int row, const BatchJob& job)
{
    const QString meta = metaText(job);
    if (m_view.topLevelItem(row)->text(int(BatchColumn::Meta)) != meta)
        m_view.setCellText(row, BatchColumn::Meta, meta.toStdString());
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

void QueueMonitor::updateRun(bool active, Clock::time_point now)
{
    std::optional<int> percent;
    QString text;
    if (!active) {
        m_run.clear();
        m_runPace = JobPace();
    } else {
        std::vector<RunJob> jobs;
        bool encoding = false;
        for (int i = 0; i < m_list.count(); ++i) {
            const BatchJob& job = m_list.job(i);
            const JobStatusRow& state = job.statusRow();
            // A job reset or taken off since is no longer part of the run.
            if (!m_run.count(&job) || state.status == JobStatus::Idle)
                continue;
            RunJob run;
            run.ended = state.outcome || state.status == JobStatus::Skipped;
            run.lengthSeconds = lengthOf(job);
            run.doneSeconds = state.hadWorker() ? mediaSeconds(job) : 0.0;
            if (const auto pace = m_paces.find(&job); pace != m_paces.end())
                run.framesPerSecond = pace->second.framesPerSecond();
            encoding = encoding || state.status == JobStatus::Encoding;
            jobs.push_back(run);
        }
        m_runPace.observe(now, encoding, 0);
        const QueueProgress progress = measureQueue(jobs, m_runPace.encodingSeconds());
        percent = int(progress.fraction * 100);
        text = QString("%1 of %2 done · %3%").arg(progress.done).arg(progress.total).arg(*percent);
        if (progress.secondsLeft)
            text += " · " + formatDuration(*progress.secondsLeft) + " left";
        if (progress.framesPerSecond)
            text += " · " + formatSpeed(*progress.framesPerSecond);
    }
    if (text != m_progressText || percent != m_percent) {
        m_progressText = text;
        m_percent = percent;
        emit progressChanged(text, percent.value_or(-1));
    }
}

QString QueueMonitor::summary() const
{
    return m_summary;
}

} // namespace moxel::gui
