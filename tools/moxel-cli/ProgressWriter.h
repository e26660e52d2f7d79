// The --progress output: blocks of key=value lines, one block about every
// half second while a job runs and one when it ends, each closed by
// "progress=continue"; the very last block of the run is closed by
// "progress=end". A job's final block is held back until it is known
// whether another block follows.
#pragma once

#include "tools/moxel-cli/JobProgress.h"

#include <cstdio>
#include <string>

namespace moxel::cli {

class ProgressWriter {
  public:
    ProgressWriter() = default;
    ~ProgressWriter(); // finish()
    ProgressWriter(const ProgressWriter&) = delete;
    ProgressWriter& operator=(const ProgressWriter&) = delete;

    // "-" writes to standard output. False when the file cannot be made.
    bool open(const std::string& target);
    // Writes to stream, which the writer closes at the end.
    void adopt(std::FILE* stream);
    bool isOpen() const { return m_stream != nullptr; }

    // A block for a running job (job counts from 1).
    void update(int job, const std::string& source, const JobProgress& progress);
    // The block of a job that ended.
    void jobEnded(int job, const std::string& source, const JobProgress& progress);
    // Writes the held-back block with progress=end and closes the file.
    void finish();

  private:
    std::string block(int job, const std::string& source, const JobProgress& progress) const;
    void flushPending(const char* progressValue);

    std::FILE* m_stream = nullptr;
    bool m_ownsStream = false;
    std::string m_pending; // the last job's final block, without its progress line
};

} // namespace moxel::cli
