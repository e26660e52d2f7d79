// Watches another process over a long run: its open file descriptors
// (/proc/PID/fd), threads and resident memory (/proc/PID/status), sampled on
// a thread of its own at a fixed interval, each sample tagged with a mark
// the caller supplies (the number of finished jobs, seconds run, ...). The
// soak tests compare what a window early in the run shows with one at its
// end.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace moxel::test {

struct ProcessSample {
    int fds = -1;
    int threads = -1;
    long rssKiB = -1;
    long mark = 0;
};

// One reading of the process now; false when it is gone.
bool sampleProcess(pid_t pid, ProcessSample* sample);

// One level of the samples whose mark lies in [from, to], each quantity on
// its own: quantile 0 gives the lowest (the process at rest between jobs,
// which anything a job leaves behind raises), 0.5 the median (the steady
// state of a long job, whatever a sample at a job's start or end shows).
struct WindowLevel {
    int fds = -1;
    int threads = -1;
    long rssKiB = -1;
    int samples = 0;
};

class ProcessWatch {
  public:
    // Starts sampling pid every interval; mark() is called on the watch's
    // thread before each sample.
    ProcessWatch(pid_t pid, std::chrono::milliseconds interval, std::function<long()> mark);
    ~ProcessWatch(); // stop()
    ProcessWatch(const ProcessWatch&) = delete;
    ProcessWatch& operator=(const ProcessWatch&) = delete;

    void stop();
    std::vector<ProcessSample> samples() const;
    WindowLevel level(long from, long to, double quantile) const;

  private:
    void run(pid_t pid, std::chrono::milliseconds interval);

    std::function<long()> m_mark;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock; // guards m_samples
    std::vector<ProcessSample> m_samples;
    std::thread m_thread;
};

// "fds A -> B, threads C -> D, RSS E -> F KiB" for the report line.
std::string describeLevels(const WindowLevel& start, const WindowLevel& end);

// Counts the lines of a growing file (a child's standard error) that
// contain a word, reading only what was added since the last call.
class LineTally {
  public:
    LineTally(std::string path, std::string word) : m_path(std::move(path)), m_word(std::move(word))
    {
    }
    long update();

  private:
    std::string m_path, m_word, m_partial;
    long m_offset = 0;
    long m_count = 0;
};

} // namespace moxel::test
