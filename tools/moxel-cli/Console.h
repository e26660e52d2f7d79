// Standard error of moxel-cli: one status line that is rewritten in place
// while a job runs, and whole messages that appear above it. The job loop
// and a job's worker thread (its messages) both write here, so every call
// takes the lock.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace moxel::cli {

class Console {
  public:
    explicit Console(std::FILE* stream = stderr);

    // The stream is a terminal, where the status line is rewritten in place.
    bool isTerminal() const { return m_terminal; }

    // Replaces the status line with text (no line break in it); on a
    // terminal alone, elsewhere only finishStatus writes a job's line.
    void status(const std::string& text);
    // Ends the status line with text, so the next line starts below it.
    void finishStatus(const std::string& text);
    // Clears the status line, prints text and a line break.
    void message(const std::string& text);

  private:
    void clearLocked();

    std::FILE* m_stream;
    bool m_terminal = false;
    std::mutex m_mutex;
    size_t m_lineLength = 0; // of the status line on screen, 0 when there is none
};

} // namespace moxel::cli
