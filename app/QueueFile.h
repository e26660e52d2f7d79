// Keeps the queue across restarts and crashes: the jobs are written in the
// batch file format to "queue.txt" beside the settings whenever the list has
// changed, and read back when the program starts. Only sources, destinations
// and profiles are kept, so every job comes back not yet done.
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

    QueueFile(std::string path, BatchList& list, const ProfileStore& profiles);

    const std::string& path() const { return m_path; }
    // Adds the kept jobs to the list (after the profiles are loaded).
    void load(BatchCommands& commands);
    // Writes the file when the jobs differ from what it holds. Nothing while
    // jobs are being added (their dialog is still open).
    void saveIfChanged();

  private:
    std::string currentBytes() const;

    std::string m_path;
    BatchList& m_list;
    const ProfileStore& m_profiles;
    std::string m_written;
    bool m_known = false; // m_written is what the file holds
};

} // namespace moxel::gui
