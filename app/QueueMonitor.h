// Watches the batch list on every timer tick for what the list itself does
// not show: how far a running job has come (percent and time left, when the
// source's length is known), what is known of each source (the Meta column:
// length, picture size and frame rate, once its job has opened it), why a
// job ended in error or was skipped (its messages, as the Status cell's
// tooltip), the queue's state and overall progress for the status bar and
// the window title, and the moment the queue has run out of work.
//
// Every job counts, however many run at the same time.
#pragma once

#include "app/JobPace.h"
#include "app/QueueProgress.h"
#include "app/SourceDurations.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <map>
#include <optional>
#include <set>

namespace moxel {
class BatchList;
struct BatchJob;
} // namespace moxel

namespace moxel::gui {

class BatchListWidget;

class QueueMonitor : public QObject {
    Q_OBJECT
  public:
    // Item data of the Status cell: the fraction done (double, absent when
    // unknown), the text drawn after the status, e.g. "40% · 1:05 left", and
    // the time left alone, "1:05" (absent until it is known).
    static constexpr int kFractionRole = Qt::UserRole + 1;
    static constexpr int kProgressTextRole = Qt::UserRole + 2;
    static constexpr int kTimeLeftRole = Qt::UserRole + 3;

    QueueMonitor(BatchList& list, BatchListWidget& view, QObject* parent = nullptr);

    // Updates the view's progress and emits what changed.
    void update();
    // As update, with the wall clock given (tests).
    void update(std::chrono::steady_clock::time_point now);

    // "3 jobs: 1 encoding, 1 queued, 1 complete"; "No jobs" for none.
    QString summary() const;
    // The run's progress, "1 of 3 done · 42% · 2:10 left · 48 fps" (the
    // time and the speed once known); empty while the queue is idle.
    QString progressText() const { return m_progressText; }
    // The run's overall percent; nothing while the queue is idle.
    std::optional<int> percent() const { return m_percent; }

    // Media seconds converted so far, from the job's progress word.
    static double mediaSeconds(const BatchJob& job);
    // "1:05" or "1:02:05".
    static QString formatDuration(double seconds);
    // "25 fps", "29.97 fps", "23.976 fps".
    static QString formatFrameRate(double framesPerSecond);
    // The Meta text of a job: "1:05 · 640x480 · 25 fps", as far as its
    // worker has found out; empty before it opened the source.
    static QString metaText(const BatchJob& job);

  signals:
    void summaryChanged(const QString& text);
    // The run's progress changed: its text (empty when the queue went idle)
    // and its percent (-1 when idle).
    void progressChanged(const QString& text, int percent);
    // Work had been going on and now nothing is queued, starting, running or
    // paused; text says how it went ("2 complete, 1 error").
    void queueFinished(const QString& text);

  private:
    // The source's media length in seconds, 0 while unknown: as the job's
    // worker found it, else as looked up beside.
    double lengthOf(const BatchJob& job);
    void observe(const BatchJob& job, std::chrono::steady_clock::time_point now);
    void updateProgress(int row, const BatchJob& job);
    void updateMeta(int row, const BatchJob& job);
    void updateToolTip(int row, const BatchJob& job);
    void updateRun(bool active, std::chrono::steady_clock::time_point now);

    BatchList& m_list;
    BatchListWidget& m_view;
    SourceDurations m_durations;
    std::map<const BatchJob*, JobPace> m_paces; // jobs running or paused
    std::set<const BatchJob*> m_run;            // the jobs of the run so far
    JobPace m_runPace;                          // some job of the run encodes
    QString m_summary;
    QString m_progressText;
    std::optional<int> m_percent;
    bool m_active = false;
};

} // namespace moxel::gui
