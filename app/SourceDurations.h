// The lengths of source files, for the progress shown while a job encodes.
// A length is looked up once per path, on a thread of its own, so that a
// slow file never holds up the window; until it is known length() says so.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace moxel::gui {

class SourceDurations {
  public:
    SourceDurations();
    ~SourceDurations(); // stops the look-up thread after its current file
    SourceDurations(const SourceDurations&) = delete;
    SourceDurations& operator=(const SourceDurations&) = delete;

    // The length in seconds; 0 when the file does not tell; nothing while it
    // is being looked up (the look-up starts with the first call).
    std::optional<double> length(const std::string& path);

    // Reads the length of a media file; 0 when unknown or unreadable.
    static double probe(const std::string& path);

  private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<std::string, double> m_known;
    std::deque<std::string> m_waiting;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace moxel::gui
