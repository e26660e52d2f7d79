// Where a job's KMF bytes go, so that a job that fails never damages the file
// it was to replace.
//
// A destination that is a regular file, or a name that does not exist yet,
// is written into a temporary beside it: a hidden, unique name in the same
// folder (".NAME.XXXXXX"), created like any new file (mode 0666 less the
// umask; an existing destination's permission bits are kept). keep() syncs
// it and renames it over the destination in one step; discard() removes it.
// Until then the destination is untouched, also when the process dies: a
// killed writer leaves the old file as it was and the temporary beside it.
// Two writers of the same destination each have their own temporary; the
// one that keeps last wins.
//
// A destination that is not a regular file is written directly: a FIFO, a
// character device (/dev/null, a terminal), an open descriptor named as
// "/dev/stdout" or "/dev/fd/N" (which is used as it is, not reopened). These
// cannot seek, so they take no file header (seekable() is false). A FIFO is
// opened without waiting for ever: when no reader appears within the wait
// the open fails. Writes made inside a WriteGuard never raise SIGPIPE: a
// reader that went away makes them fail with EPIPE.
//
// Failures return one of the encoder's fixed messages; the reason (path,
// system error) goes to the diagnostic sink. One thread at a time.
#pragma once

#include <csignal>
#include <string>

namespace moxel {

// What a destination path is, as the job start and the encoder see it.
enum class OutputKind {
    File,   // a regular file or a name not yet there: temporary, then rename
    Direct, // a FIFO, a device, an open descriptor: written as it is
    Folder, // a folder: cannot be written
};
OutputKind outputKindOf(const std::string& path);

// How long open() waits for a FIFO's reader to appear.
inline constexpr int kOutputPipeReaderWaitMs = 2000;

class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile(); // discards what is still open
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Null, or the fixed message when nothing could be opened.
    const char* open(const std::string& destination,
                     int pipeReaderWaitMs = kOutputPipeReaderWaitMs);
    // The written file ends: synced and renamed over the destination (a
    // direct destination is just closed). Null, or the fixed message; a
    // temporary that could not take the destination's place is removed.
    const char* keep();
    // The written file ends unwanted: a temporary is removed; a direct
    // destination is closed (what it took is gone already).
    void discard();

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    // The file takes a file header: a placeholder at open, rewritten in place.
    bool seekable() const { return m_temporary; }
    // The path being written: the temporary, or the destination itself.
    const std::string& writingPath() const { return m_writingPath; }

    // While alive, a write on this thread to a reader that went away fails
    // with EPIPE instead of raising SIGPIPE. Does nothing for a temporary.
    class WriteGuard {
      public:
        explicit WriteGuard(const OutputFile& file);
        ~WriteGuard();
        WriteGuard(const WriteGuard&) = delete;
        WriteGuard& operator=(const WriteGuard&) = delete;

      private:
        bool m_active = false;
        bool m_wasPending = false;
        sigset_t m_oldMask{};
    };

  private:
    const char* openTemporary(const std::string& destination);
    const char* openDirect(const std::string& destination, int pipeReaderWaitMs);
    bool closeFd();

    int m_fd = -1;
    bool m_temporary = false;
    std::string m_destination; // the name the temporary takes (symbolic links resolved)
    std::string m_writingPath;
};

} // namespace moxel
