// The queue of conversion jobs behind the main window's list. It holds one
// BatchJob per row, turns the list commands (encode, abort, pause, reset,
// remove, clear) into status changes and, driven by a 100 ms timer, starts
// queued jobs: up to "Jobs at once" of them run at the same time (one by
// default). All operations run on the user-interface thread.
//
// A job's worker (jobs/JobWorker.h) and the list meet only in the job
// record. Records live behind pointers and never move, are reused or are
// destroyed while their job may have a worker: removing jobs only permutes
// the pointers, parking removed records in spare slots behind the count.
//
// The scheduler starts one job at a time, in queue order, and never while
// another start is asking its question (a question's window lets timer
// ticks through), so questions come one after another, each about its own
// job. A queued job whose output another running job writes or reads waits
// until that job has finished (jobs/OutputClash.h); later jobs may start
// meanwhile.
//
// Pause and resume change a running job's status only by compare-and-swap
// from the expected value, so they can never overwrite the worker's final
// Complete, Error or Aborted.
#pragma once

#include "jobs/BatchJob.h"
#include "jobs/BatchListView.h"
#include "jobs/JobStart.h"
#include "jobs/JobStatusText.h"
#include "jobs/OutputClash.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace moxel {

class ProfileStore;
class Prompt;

// How the scheduler starts a job. The program uses the job start's
// startJob; tests pass their own.
using JobStarter = std::function<void(BatchRunState& run, BatchJob& job,
                                      const std::string& profilePath, Prompt& prompt)>;
// The job start's startJob, picked out of its overloads.
inline constexpr void (*kDriverJobStart)(BatchRunState&, BatchJob&, const std::string&,
                                         Prompt&) = &startJob;

class BatchList {
  public:
    static constexpr int kMinCapacity = 32;
    static constexpr int kSettleStepMs = 100;

    // The profile store names each job's profile and gives the path startJob
    // receives; prompt goes to startJob and must outlive every worker.
    BatchList(const ProfileStore& profiles, Prompt& prompt, JobStarter starter = kDriverJobStart);
    // Records whose job may still have a worker are not destroyed (the
    // worker holds pointers into them); they are kept until the process ends.
    ~BatchList();
    BatchList(const BatchList&) = delete;
    BatchList& operator=(const BatchList&) = delete;

    // The view the list shows itself in; null for none (moxel-cli). Without a
    // view the jobs' selected flags are the selection.
    void setView(BatchListView* view) { m_view = view; }
    BatchListView* view() const { return m_view; }

    int count() const { return m_count; }
    int capacity() const { return int(m_jobs.size()); }
    BatchJob& job(int i) { return *m_jobs[size_t(i)]; }
    const BatchJob& job(int i) const { return *m_jobs[size_t(i)]; }
    BatchRunState& runState() { return m_run; }
    const BatchRunState& runState() const { return m_run; }
    const ProfileStore& profiles() const { return m_profiles; }

    bool refreshSuspended() const { return m_refreshSuspended; }
    void setRefreshSuspended(bool suspended) { m_refreshSuspended = suspended; }
    int focusRow() const { return m_focusRow; }
    int topRow() const { return m_topRow; }

    // Adjusts the slots for n jobs: 2^ceil(log2 n), at least 32. Nothing
    // changes when the power of two equals the capacity or half of it (64
    // slots stay for 20 jobs and become 32 at 16). New slots get reset
    // records; dropped slots (all spare) are destroyed.
    void resizeStorage(int n);
    // Takes the next spare record (growing the storage when needed), resets
    // it, counts it and returns it.
    BatchJob& appendJob();
    // Drops the last n jobs again (they must have no worker) and resizes.
    void dropLastJobs(int n);

    // The view's selection into the jobs' selected flags, and its first
    // visible and focused rows into topRow and focusRow.
    void syncFromView();
    // Fills the view from the jobs, restoring selection, scroll and focus.
    void rebuildView();
    // Writes each row's status text where it changed ("aborting" always).
    void refreshStatus();

    void encodeJobs(bool all);
    void abortJobs(bool all);
    void pauseAll();
    void unpauseAll();
    void resetStatus(bool all);
    void removeJobs(bool all);
    void clearCompleted();
    void selectAll();
    void deselectAll();

    // Queue order. Jobs move in the list while their records stay where
    // they are (only the pointers permute), so a running job may move too.
    // After a move the queued jobs run from the top down: they keep their
    // queue numbers as a set and take them in the new list order. Selection
    // and focus go with the jobs. Each returns whether anything moved.
    enum class Direction { Up = -1, Down = 1 };
    // Sync; every selected job one place up (down). A selected block at the
    // edge of the list stays, and the jobs behind it close up to it.
    bool moveSelected(Direction direction);
    // Sync; the jobs at rows (list positions; out of range ones are passed
    // over), in list order, to stand just before the job at position before
    // (the count or more: at the end).
    bool moveRows(std::vector<int> rows, int before);
    // Sync; every settled Error or Aborted job goes back into the queue as
    // Encode would queue it, numbered in list order. Returns how many.
    int retryFailed();

    // The timer body: starts queued jobs until jobsAtOnce() are starting,
    // running or paused, or none that may start is queued. When a start's
    // question cancels the run ("Cancel job"), the queued jobs go back to
    // idle; jobs already running go on.
    void scheduleNext();
    // How many jobs may run at once: n >= 1 fixes the number; 0 (the
    // default) follows the "Jobs at once" preference, read at every tick.
    void setJobsAtOnce(int n) { m_jobsAtOnce = n > 0 ? n : 0; }
    int jobsAtOnce() const;
    // True once no job is busy; false when timeoutMs ran out first.
    bool waitUntilSettled(int timeoutMs);

    // Nothing queued, starting, running or paused, and every finished job
    // settled: what a batch run without a window waits for.
    bool isFinished() const;
    // The number of selected jobs (after a sync).
    int selectedCount() const;

    // Keeping profileIndex in step with the profile store. After the profile
    // at position was deleted: later positions move up by one and jobs on the
    // deleted one go to the first profile.
    void profileRemoved(int position);
    // After two profiles swapped positions.
    void profilesSwapped(int a, int b);
    // The number of jobs bound to the profile at position.
    int jobsUsingProfile(int position) const;

    // How waitUntilSettled waits one step; tests replace the sleep.
    void setSleeper(std::function<void(int ms)> sleeper) { m_sleep = std::move(sleeper); }

  private:
    bool affected(const BatchJob& job, bool all) const { return all || job.selected; }
    // action for each selected job, or for every job when all is true.
    void forEachAffected(bool all, const std::function<void(BatchJob&)>& action);
    // Stable compaction: the jobs for which remove is true go behind the
    // kept ones; returns how many were removed and lowers the count.
    int compact(const std::function<bool(const BatchJob&)>& remove, bool resetRemoved);
    bool isBusy(const BatchJob& job) const;
    // The queued job to start next, or null: the smallest queue number (the
    // higher row on equal numbers) whose files no busy job uses.
    BatchJob* nextToStart(const std::vector<BusyFiles>& busy);
    // "Cancel job": every queued job back to idle, running ones go on.
    void cancelQueued();
    // Puts the jobs in this order (new position to old position, a
    // permutation of 0..count-1), renumbers the queue, keeps the focus on its
    // job and rebuilds the view. False, and nothing done, when the order is
    // the one there is.
    bool reorder(const std::vector<int>& order);
    uint32_t largestQueueNumber() const;

    const ProfileStore& m_profiles;
    Prompt& m_prompt;
    JobStarter m_starter;
    BatchListView* m_view = nullptr;
    std::vector<std::unique_ptr<BatchJob>> m_jobs; // size is the capacity
    int m_count = 0;
    bool m_refreshSuspended = false;
    int m_focusRow = 0;
    int m_topRow = 0;
    BatchRunState m_run;
    std::function<void(int ms)> m_sleep;
    int m_jobsAtOnce = 0;                       // 0: the preference
    bool m_starting = false;                    // a start (and perhaps its question) is under way
    std::vector<const BatchJob*> m_toldWaiting; // queued jobs said to wait for a clash
};

} // namespace moxel
