#include "jobs/BatchList.h"

#include "base/DiagnosticSink.h"
#include "jobs/JobsAtOnce.h"
#include "jobs/ProfileStore.h"

#include <algorithm>
#include <chrono>
#include <numeric>
#include <thread>

namespace moxel {

namespace {

constexpr size_t kStatusCellChars = 1023;

bool mayHaveWorker(const BatchJob& job)
{
    const JobStatusRow& row = job.statusRow();
    return row.working || (row.outcome && !job.isSettled());
}

// Records a destroyed list cannot free because a worker still writes into
// them. Reachable until the process ends, and never destroyed.
std::vector<std::unique_ptr<BatchJob>>& orphanedRecords()
{
    static auto* records = new std::vector<std::unique_ptr<BatchJob>>;
    return *records;
}

bool compareAndSwapStatus(BatchJob& job, JobStatus from, JobStatus to)
{
    uint32_t expected = uint32_t(from);
    return job.status.compare_exchange_strong(expected, uint32_t(to), std::memory_order_acq_rel,
                                              std::memory_order_acquire);
}

} // namespace

BatchList::BatchList(const ProfileStore& profiles, Prompt& prompt, JobStarter starter)
    : m_profiles(profiles), m_prompt(prompt), m_starter(std::move(starter)),
      m_sleep([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); })
{
}

BatchList::~BatchList()
{
    for (std::unique_ptr<BatchJob>& record : m_jobs)
        if (record && mayHaveWorker(*record))
            orphanedRecords().push_back(std::move(record));
}

void BatchList::resizeStorage(int n)
{
    // The power of two is compared before the minimum applies, so that a
    // list of 64 slots keeps them down to 17 jobs and drops to 32 at 16.
    int power = 1;
    while (power < n)
        power *= 2;
    const int current = capacity();
    if (power == current || power * 2 == current)
        return;
    const int wanted = std::max(power, int(kMinCapacity));
    if (wanted == current)
        return;
    if (wanted > current) {
        m_jobs.reserve(size_t(wanted));
        while (capacity() < wanted) {
            auto record = std::make_unique<BatchJob>();
            record->reset();
            m_jobs.push_back(std::move(record));
        }
        return;
    }
    // The dropped slots lie behind the count: spare records without workers.
    // A record that might still have one is kept rather than freed.
    for (size_t i = size_t(wanted); i < m_jobs.size(); ++i)
        if (mayHaveWorker(*m_jobs[i]))
            orphanedRecords().push_back(std::move(m_jobs[i]));
    m_jobs.resize(size_t(wanted));
    m_count = std::min(m_count, wanted);
}

BatchJob& BatchList::appendJob()
{
    if (m_count >= capacity())
        resizeStorage(m_count + 1);
    BatchJob& record = *m_jobs[size_t(m_count)];
    record.reset();
    ++m_count;
    return record;
}

void BatchList::dropLastJobs(int n)
{
    m_count = std::max(0, m_count - std::max(n, 0));
    resizeStorage(m_count);
}

void BatchList::syncFromView()
{
    if (!m_view)
        return;
    const int rows = m_view->rowCount();
    m_focusRow = 0;
    bool focusFound = false;
    for (int row = 0; row < rows; ++row) {
        const int64_t index = m_view->itemData(row);
        if (index >= 0 && index < m_count)
            job(int(index)).selected = m_view->isSelected(row);
        if (!focusFound && m_view->isFocused(row)) {
            m_focusRow = row;
            focusFound = true;
        }
    }
    m_topRow = m_view->firstVisibleRow();
}

void BatchList::rebuildView()
{
    if (!m_view)
        return;
    m_view->deleteAllRows();
    for (int i = 0; i < m_count; ++i) {
        const BatchJob& j = job(i);
        m_view->appendRow(j.sourcePath, i);
        m_view->setCellText(i, BatchColumn::Dest, j.destPath);
        m_view->setCellText(i, BatchColumn::Profile, m_profiles.displayName(j.profileIndex));
    }
    refreshStatus();
    for (int i = 0; i < m_count; ++i)
        if (job(i).selected)
            m_view->setSelected(i, true);
    if (m_topRow > 0)
        m_view->scrollToRow(m_topRow);
    if (m_focusRow < m_count)
        m_view->setFocused(m_focusRow);
}

void BatchList::refreshStatus()
{
    if (m_refreshSuspended || !m_view)
        return;
    const int rows = m_view->rowCount();
    for (int row = 0; row < rows; ++row) {
        const int64_t index = m_view->itemData(row);
        if (index < 0 || index >= m_count)
            continue;
        const BatchJob& j = job(int(index));
        std::string text = statusText(j);
        if (j.isAborting()) {
            m_view->setCellText(row, BatchColumn::Status, text);
            continue;
        }
        std::string current = m_view->cellText(row, BatchColumn::Status);
        if (current.size() > kStatusCellChars)
            current.resize(kStatusCellChars);
        if (current != text)
            m_view->setCellText(row, BatchColumn::Status, text);
    }
}

void BatchList::encodeJobs(bool all)
{
    m_run.overwriteMode = OverwriteMode::Ask;
    syncFromView();
    forEachAffected(all, [this](BatchJob& j) {
        if (j.permits(&JobStatusRow::requeue)) {
            uint32_t largest = 0;
            for (int k = 0; k < m_count; ++k)
                if (job(k).statusRow().queued)
                    largest = std::max(largest, job(k).queueNumber);
            j.queueNumber = largest + 1;
            j.setStatus(JobStatus::Queued);
        } else { // a paused job resumes
            compareAndSwapStatus(j, JobStatus::Paused, JobStatus::Encoding);
        }
    });
    rebuildView();
}

void BatchList::abortJobs(bool all)
{
    syncFromView();
    for (int i = 0; i < m_count; ++i)
        job(i).isNew = false;
    forEachAffected(all, [](BatchJob& j) {
        const JobStatusRow& row = j.statusRow();
        if (row.queued)
            j.setStatus(JobStatus::Idle);
        else if (row.working)
            j.workerBlock.abortRequested.store(1, std::memory_order_release);
    });
}

void BatchList::pauseAll()
{
    syncFromView();
    for (int i = 0; i < m_count; ++i)
        compareAndSwapStatus(job(i), JobStatus::Encoding, JobStatus::Paused);
    rebuildView();
}

void BatchList::unpauseAll()
{
    syncFromView();
    for (int i = 0; i < m_count; ++i)
        compareAndSwapStatus(job(i), JobStatus::Paused, JobStatus::Encoding);
    rebuildView();
}

void BatchList::resetStatus(bool all)
{
    syncFromView();
    forEachAffected(all, [](BatchJob& j) {
        if (j.permits(&JobStatusRow::reset))
            j.setStatus(JobStatus::Idle);
    });
    rebuildView();
}

void BatchList::forEachAffected(bool all, const std::function<void(BatchJob&)>& action)
{
    for (int i = 0; i < m_count; ++i)
        if (affected(job(i), all))
            action(job(i));
}

int BatchList::compact(const std::function<bool(const BatchJob&)>& remove, bool resetRemoved)
{
    std::vector<std::unique_ptr<BatchJob>> kept;
    std::vector<std::unique_ptr<BatchJob>> removed;
    for (int i = 0; i < m_count; ++i) {
        std::unique_ptr<BatchJob>& slot = m_jobs[size_t(i)];
        if (remove(*slot)) {
            if (resetRemoved)
                slot->reset();
            removed.push_back(std::move(slot));
        } else {
            kept.push_back(std::move(slot));
        }
    }
    size_t at = 0;
    for (auto& record : kept)
        m_jobs[at++] = std::move(record);
    for (auto& record : removed)
        m_jobs[at++] = std::move(record);
    m_count = int(kept.size());
    return int(removed.size());
}

void BatchList::removeJobs(bool all)
{
    m_refreshSuspended = true;
    syncFromView();
    if (m_view) {
        int above = 0;
        const int rows = std::min(m_view->rowCount(), m_topRow);
        for (int row = 0; row < rows; ++row)
            if (m_view->isSelected(row))
                ++above;
        m_topRow = std::max(0, m_topRow - above);
        m_focusRow = std::max(0, m_focusRow - above);
    }
    compact([this, all](
                const BatchJob& j) { return affected(j, all) && j.permits(&JobStatusRow::remove); },
            false);
    resizeStorage(m_count);
    rebuildView();
    m_refreshSuspended = false;
}

void BatchList::clearCompleted()
{
    syncFromView();
    compact([](const BatchJob& j) { return j.statusRow().succeeded && j.isSettled(); }, true);
    rebuildView();
}

void BatchList::selectAll()
{
    for (int i = 0; i < m_count; ++i)
        job(i).selected = true;
    rebuildView();
}

void BatchList::deselectAll()
{
    for (int i = 0; i < m_count; ++i)
        job(i).selected = false;
    rebuildView();
}

int BatchList::jobsAtOnce() const
{
    return m_jobsAtOnce > 0 ? m_jobsAtOnce : jobsAtOnceSetting();
}

BatchJob* BatchList::nextToStart(const std::vector<BusyFiles>& busy)
{
    std::vector<BatchJob*> queued;
    for (int i = 0; i < m_count; ++i)
        if (job(i).statusRow().queued)
            queued.push_back(&job(i));
    // Stable: on equal numbers the higher row comes first.
    std::stable_sort(queued.begin(), queued.end(), [](const BatchJob* a, const BatchJob* b) {
        return a->queueNumber < b->queueNumber;
    });
    // Each held job is told once, until it starts or stops waiting. The list
    // holds only jobs held now, so a record it names is never looked into.
    std::vector<const BatchJob*> held;
    BatchJob* next = nullptr;
    for (BatchJob* candidate : queued) {
        const std::string clash = clashingFile(*candidate, busy);
        if (clash.empty()) {
            next = candidate;
            break;
        }
        held.push_back(candidate);
        if (std::find(m_toldWaiting.begin(), m_toldWaiting.end(), candidate) == m_toldWaiting.end())
            emitDiagnostic(kOutputFileDiagnostics, DiagnosticLevel::Info,
                           candidate->sourcePath + ": waits until the job using " + clash +
                               " has finished");
    }
    // Jobs behind the one that starts were not looked at: they stay told.
    if (next)
        for (const BatchJob* told : m_toldWaiting)
            if (std::find(held.begin(), held.end(), told) == held.end() && told != next)
                held.push_back(told);
    m_toldWaiting = std::move(held);
    return next;
}

void BatchList::cancelQueued()
{
    for (int i = 0; i < m_count; ++i) {
        BatchJob& j = job(i);
        j.isNew = false;
        if (j.statusRow().queued)
            j.setStatus(JobStatus::Idle);
    }
    m_toldWaiting.clear();
}

void BatchList::scheduleNext()
{
    // Timer ticks that arrive while a start asks its question start nothing.
    if (m_starting) {
        refreshStatus();
        return;
    }
    const int limit = jobsAtOnce();
    for (;;) {
        refreshStatus();
        int running = 0;
        std::vector<BusyFiles> busy;
        for (int i = 0; i < m_count; ++i) {
            const BatchJob& j = job(i);
            running += j.statusRow().working ? 1 : 0;
            if (mayHaveWorker(j))
                busy.push_back(busyFilesOf(j));
        }
        if (running >= limit)
            return;
        BatchJob* next = nextToStart(busy);
        if (!next)
            return;
        m_starting = true;
        struct StartEnds {
            bool& starting;
            ~StartEnds() { starting = false; }
        } startEnds{m_starting};
        m_starter(m_run, *next, m_profiles.filePath(next->profileIndex), m_prompt);
        if (m_run.overwriteMode == OverwriteMode::Cancelled) {
            cancelQueued();
            return;
        }
    }
}

bool BatchList::isBusy(const BatchJob& job) const
{
    const JobStatusRow& row = job.statusRow();
    if (row.working)
        return job.workerBlock.abortRequested.load(std::memory_order_acquire) != 0;
    if (row.outcome)
        return job.workerBlock.workerDone.load(std::memory_order_acquire) == 0;
    return false;
}

bool BatchList::waitUntilSettled(int timeoutMs)
{
    int waited = 0;
    for (;;) {
        bool anyBusy = false;
        for (int i = 0; i < m_count && !anyBusy; ++i)
            anyBusy = isBusy(job(i));
        if (!anyBusy)
            return true;
        if (waited >= timeoutMs)
            return false;
        m_sleep(kSettleStepMs);
        waited += kSettleStepMs;
    }
}

bool BatchList::isFinished() const
{
    for (int i = 0; i < m_count; ++i) {
        const BatchJob& j = job(i);
        if (mayHaveWorker(j) || j.statusRow().queued)
            return false;
    }
    return true;
}

void BatchList::profileRemoved(int position)
{
    for (int i = 0; i < m_count; ++i) {
        int& index = job(i).profileIndex;
        if (index > position)
            --index;
        else if (index == position)
            index = 0;
    }
}

void BatchList::profilesSwapped(int a, int b)
{
    for (int i = 0; i < m_count; ++i) {
        int& index = job(i).profileIndex;
        if (index == a)
            index = b;
        else if (index == b)
            index = a;
    }
}

int BatchList::jobsUsingProfile(int position) const
{
    int n = 0;
    for (int i = 0; i < m_count; ++i)
        n += job(i).profileIndex == position ? 1 : 0;
    return n;
}

int BatchList::selectedCount() const
{
    int n = 0;
    for (int i = 0; i < m_count; ++i)
        n += job(i).selected ? 1 : 0;
    return n;
}

} // namespace moxel

namespace moxel {

uint32_t BatchList::largestQueueNumber() const
{
    uint32_t largest = 0;
    for (int i = 0; i < m_count; ++i)
        if (job(i).statusRow().queued)
            largest = std::max(largest, job(i).queueNumber);
    return largest;
}

bool BatchList::moveSelected(Direction direction)
{
    syncFromView();
    std::vector<int> order(static_cast<size_t>(m_count));
    std::iota(order.begin(), order.end(), 0);
    // A selected job trades places with an unselected neighbour; walking
    // against the direction lets a block move as one and stop as one.
    auto step = [&](int upper) {
        const int mover = direction == Direction::Up ? upper + 1 : upper;
        const int other = direction == Direction::Up ? upper : upper + 1;
        if (job(order[size_t(mover)]).selected && !job(order[size_t(other)]).selected)
            std::swap(order[size_t(upper)], order[size_t(upper + 1)]);
    };
    if (direction == Direction::Up)
        for (int upper = 0; upper + 1 < m_count; ++upper)
            step(upper);
    else
        for (int upper = m_count - 2; upper >= 0; --upper)
            step(upper);
    return reorder(order);
}

bool BatchList::moveRows(std::vector<int> rows, int before)
{
    syncFromView();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [this](int row) { return row < 0 || row >= m_count; }),
               rows.end());
    before = std::clamp(before, 0, m_count);
    std::vector<bool> moving(size_t(m_count), false);
    for (int row : rows)
        moving[size_t(row)] = true;
    std::vector<int> order;
    order.reserve(size_t(m_count));
    for (int i = 0; i <= m_count; ++i) {
        if (i == before)
            order.insert(order.end(), rows.begin(), rows.end());
        if (i < m_count && !moving[size_t(i)])
            order.push_back(i);
    }
    return reorder(order);
}

bool BatchList::reorder(const std::vector<int>& order)
{
    bool moved = false;
    for (size_t i = 0; i < order.size(); ++i)
        moved = moved || order[i] != int(i);
    if (!moved)
        return false;
    BatchJob* focused = m_focusRow < m_count ? &job(m_focusRow) : nullptr;
    std::vector<uint32_t> numbers;
    for (int i = 0; i < m_count; ++i)
        if (job(i).statusRow().queued)
            numbers.push_back(job(i).queueNumber);
    std::sort(numbers.begin(), numbers.end());

    std::vector<std::unique_ptr<BatchJob>> records(static_cast<size_t>(m_count));
    for (size_t i = 0; i < order.size(); ++i)
        records[i] = std::move(m_jobs[size_t(order[i])]);
    for (size_t i = 0; i < records.size(); ++i)
        m_jobs[i] = std::move(records[i]);

    size_t next = 0;
    for (int i = 0; i < m_count; ++i) {
        if (&job(i) == focused)
            m_focusRow = i;
        if (job(i).statusRow().queued && next < numbers.size())
            job(i).queueNumber = numbers[next++];
    }
    rebuildView();
    return true;
}

int BatchList::retryFailed()
{
    m_run.overwriteMode = OverwriteMode::Ask;
    syncFromView();
    uint32_t largest = largestQueueNumber();
    int queued = 0;
    for (int i = 0; i < m_count; ++i) {
        BatchJob& j = job(i);
        const JobStatus status = j.statusValue();
        if ((status == JobStatus::Error || status == JobStatus::Aborted) &&
            j.permits(&JobStatusRow::requeue)) {
            j.queueNumber = ++largest;
            j.setStatus(JobStatus::Queued);
            ++queued;
        }
    }
    rebuildView();
    return queued;
}

} // namespace moxel
