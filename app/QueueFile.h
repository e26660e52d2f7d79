// Keeps the queue across restarts and crashes: the jobs are written in the
// batch file format to "queue.txt" beside the settings whenever the list has
// changed, and read back when the program starts. How the finished jobs
// ended (complete, error with its text, aborted, skipped) goes beside it to
// "queue-status.txt" (jobs/KeptStatuses.h) and comes back with them; jobs
// that were queued or under way come back not done.
#pragma once

#include <string>

namespace moxel {
class BatchCommands;
class BatchList;
class ProfileStore;
} // namespace moxel

namespace moxel::gui {

class QueueFile {
  public:
    static constexpr const char* kFileName = "queue.txt";
    static constexpr const char* kStatusFileName = "queue-status.txt";

    QueueFile(std::string path, BatchList& list, const ProfileStore& profiles);

    const std::string& path() const { return m_path; }
    const std::string& statusPath() const { return m_statusPath; }
    // Adds the kept jobs to the list (after the profiles are loaded), with
    // the statuses they had.
    void load(BatchCommands& commands);
    // Writes the files when the jobs differ from what they hold. Nothing
    // while jobs are being added (their dialog is still open).
    void saveIfChanged();

  private:
    // One kept file: its path and what it was last written with.
    struct Kept {
        std::string path;
        std::string written;
        bool known = false; // written is what the file holds
    };
    static void saveIfChanged(Kept& file, std::string bytes);

    std::string m_path;
    std::string m_statusPath;
    BatchList& m_list;
    const ProfileStore& m_profiles;
    Kept m_queue;
    Kept m_statuses;
};

} // namespace moxel::gui
