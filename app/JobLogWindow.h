// The log of one job's last run in a window of its own: where it read and
// wrote, its profile and status, when it started and ended, its messages
// (the error text), what it counted and its diagnostic lines. The window is
// read-only and not modal; while the job runs it follows the log every
// second. It keeps a pointer to the job's record, which the batch list never
// frees while the program runs, and looks the record up in the list before
// each reading: once the job has left the list (or its record holds a job
// of another source) the window says so and stops following it.
#pragma once

#include "jobs/JobLog.h"

#include <QDateTime>
#include <QDialog>
#include <QTimer>

class QPlainTextEdit;

namespace moxel {
class BatchList;
struct BatchJob;
} // namespace moxel

namespace moxel::gui {

// A job log time as a local date and time.
QDateTime localTime(JobClock::time_point time);

// The text the window shows for job.
QString jobLogText(const BatchList& list, const BatchJob& job);

class JobLogWindow : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kObjectName = "jobLog";
    static constexpr int kFollowMs = 1000;

    JobLogWindow(BatchList& list, const BatchJob& job, QWidget* owner);

    // The job shown, null once it has left the list.
    const BatchJob* job() const { return m_job; }
    QPlainTextEdit* text() const { return m_text; }
    // Reads the log again.
    void refresh();

  private:
    BatchList& m_list;
    const BatchJob* m_job; // null once the job has left the list
    std::string m_source;
    QPlainTextEdit* m_text;
    QTimer m_follow;
};

} // namespace moxel::gui
