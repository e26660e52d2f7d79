// The program-wide log of the queue: when each job started and how and when
// it ended (complete, error with its messages, aborted, skipped), and what
// the program did when the queue was done. It watches the batch list on
// every timer tick and command, as the Status column does, and notes each
// change of a job's state; the first look only learns the states (jobs that
// ended in an earlier run of the program are not logged again). Entries are
// kept for the program's run, the oldest dropping out past kMaxEntries.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <map>

namespace moxel {
class BatchList;
struct BatchJob;
enum class JobStatus : uint32_t;
} // namespace moxel

namespace moxel::gui {

struct QueueLogEntry {
    enum class Kind { Started, Complete, Error, Aborted, Skipped, Note };
    QDateTime time;
    Kind kind = Kind::Note;
    QString source;
    QString destination;
    QString text; // the error text of an end, the note's text
};

class QueueLog : public QObject {
    Q_OBJECT
  public:
    static constexpr size_t kMaxEntries = 10000;

    explicit QueueLog(BatchList& list, QObject* parent = nullptr);

    // Looks at every job and notes what changed since the last look.
    void update();
    // A line of the program's own.
    void addNote(const QString& text);

    const std::deque<QueueLogEntry>& entries() const { return m_entries; }
    // "2026-12-08 14:05:09  error     /v/a.avi: Error: ..." (local time).
    static QString format(const QueueLogEntry& entry);

  signals:
    void entryAdded(const QueueLogEntry& entry);
    void jobStarted();

  private:
    void add(QueueLogEntry entry);
    void noteStart(const BatchJob& job);
    void noteEnd(const BatchJob& job, JobStatus status);

    BatchList& m_list;
    std::map<const BatchJob*, JobStatus> m_seen;
    std::deque<QueueLogEntry> m_entries;
    bool m_looked = false;
};

} // namespace moxel::gui
