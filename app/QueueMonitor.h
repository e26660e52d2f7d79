// Watches the batch list on every timer tick for what the list itself does
// not show: how far a running job has come (percent and time left, when the
// source's length is known), why a job ended in error or was skipped (its
// messages, as the Status cell's tooltip), the queue's overall state for the
// status bar, and the moment the queue has run out of work.
#pragma once

#include "app/SourceDurations.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <map>

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
    // unknown) and the text drawn after the status, e.g. "40% · 1:05 left".
    static constexpr int kFractionRole = Qt::UserRole + 1;
    static constexpr int kProgressTextRole = Qt::UserRole + 2;

    QueueMonitor(BatchList& list, BatchListWidget& view, QObject* parent = nullptr);

    // Updates the view's progress and emits what changed.
    void update();
    // As update, with the wall clock given (tests).
    void update(std::chrono::steady_clock::time_point now);

    // "3 jobs: 1 encoding, 1 queued, 1 complete"; "No jobs" for none.
    QString summary() const;

    // Media seconds converted so far, from the job's progress word.
    static double mediaSeconds(const BatchJob& job);
    // "1:05" or "1:02:05".
    static QString formatDuration(double seconds);

  signals:
    void summaryChanged(const QString& text);
    // Work had been going on and now nothing is queued, starting, running or
    // paused; text says how it went ("2 complete, 1 error").
    void queueFinished(const QString& text);

  private:
    struct Timing {
        std::chrono::steady_clock::duration encoding{}; // wall time spent encoding
        std::chrono::steady_clock::time_point last{};
        bool running = false;
    };

    void updateProgress(int row, const BatchJob& job, std::chrono::steady_clock::time_point now);
    void updateToolTip(int row, const BatchJob& job);

    BatchList& m_list;
    BatchListWidget& m_view;
    SourceDurations m_durations;
    std::map<const BatchJob*, Timing> m_timings;
    QString m_summary;
    bool m_active = false;
};

} // namespace moxel::gui
