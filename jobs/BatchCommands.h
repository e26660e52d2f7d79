// The batch commands that bring jobs into the list and change them: Add
// Source Files with its Encoding Details, Change profile, Change output
// filename, Change output path, and the batch files (Save Batch, Load Batch,
// Import Batch, Export Selected). The main window calls them; the dialogs
// come through BatchDialogs and messages through Prompt. Remembered folders
// and the last profile live in the settings: batch_load_dir,
// last_output_dir, last_profile.
#pragma once

#include "jobs/BatchDialogs.h"
#include "jobs/BatchFile.h"

#include <string>
#include <vector>

namespace moxel {

class BatchList;
class ProfileStore;
class Prompt;
class SettingsFile;

class BatchCommands {
  public:
    // programFolder is the default of batch_load_dir for Add Source Files.
    BatchCommands(BatchList& list, ProfileStore& profiles, SettingsFile& settings,
                  BatchDialogs& dialogs, Prompt& prompt, std::string programFolder);

    // The open-files dialog, then addSources with the chosen paths.
    void addSourceFiles();
    // New jobs for paths with default destinations, then Encoding Details.
    // On OK the new jobs get the chosen profile and destinations and the view
    // is rebuilt; on Cancel they are dropped. False for Cancel.
    bool addSources(const std::vector<std::string>& paths);

    void changeProfile();
    void changeOutputFilename();
    void changeOutputPath();

    // Save-file dialog, then writes every job. Nothing on an empty list.
    void saveBatch();
    // Save-file dialog, then writes the selected jobs.
    void exportSelected();
    // Open-file dialog, then loadBatchFile / importBatchFile.
    void loadBatch();
    void importBatch();

    // Writes the jobs (all or the selected) to path; a failure is shown
    // titled "Error". True when the file was written.
    bool writeBatchFile(const std::string& path, bool selectedOnly);
    // Replaces the list with the jobs of path (jobs that are starting or
    // running stay), or appends them. Bad lines are reported with the file
    // and line number and skipped. The number of jobs added, -1 when the
    // file could not be read.
    int loadBatchFile(const std::string& path);
    int importBatchFile(const std::string& path);

    // Position of last_profile (default "(Default)") ignoring case, or -1.
    int lastProfilePosition() const;

  private:
    int appendEntries(const std::string& path, const std::string& bytes);
    // Shows "Please select something first..." / "Please select only one
    // item..." titled "Oops".
    void oops(const std::string& text);
    // Reports a destination over the system's limits; true when it is one.
    bool refuseLongPath(const std::string& path);

    BatchList& m_list;
    ProfileStore& m_profiles;
    SettingsFile& m_settings;
    BatchDialogs& m_dialogs;
    Prompt& m_prompt;
    std::string m_programFolder;
};

} // namespace moxel
