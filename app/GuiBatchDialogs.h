// The batch commands' dialogs, shown as the program's windows, all modal to
// the main window.
#pragma once

#include "jobs/BatchDialogs.h"

class QWidget;

namespace moxel {
class BatchList;
class ProfileStore;
class SettingsFile;
} // namespace moxel

namespace moxel::gui {

class GuiBatchDialogs : public BatchDialogs {
  public:
    GuiBatchDialogs(QWidget* owner, ProfileStore& profiles, BatchList& list,
                    SettingsFile& settings);

    std::vector<std::string> chooseOpenFiles(const std::string& title,
                                             const std::string& initialFolder,
                                             const std::vector<FileFilter>& filters) override;
    std::optional<std::string> chooseSaveFile(const std::string& title,
                                              const std::string& initialFolder,
                                              const std::string& proposedPath,
                                              const std::vector<FileFilter>& filters,
                                              const std::string& defaultExtension) override;
    std::optional<std::string> browseForFolder(const std::string& initialFolder,
                                               const std::string& title) override;
    bool runEncodingDetails(EncodingDetails& details) override;
    std::optional<int> chooseProfile(int highlighted) override;
    std::optional<std::string> askOutputFileName(const std::string& current) override;

    // Object names of the file dialogs, for tests and screenshots.
    static constexpr const char* kOpenFilesName = "openFilesDialog";
    static constexpr const char* kSaveFileName = "saveFileDialog";
    static constexpr const char* kEncodingDetailsName = "encodingDetailsDialog";
    static constexpr const char* kChangeProfileName = "changeProfileDialog";
    static constexpr const char* kChangeFilenameName = "changeFilenameDialog";

  private:
    std::vector<std::string> profileNames() const;
    // "Edit Profiles": remembers the highlighted profile as last_profile,
    // opens the profile manager and gives back the refilled list.
    void editProfiles(int highlighted, std::vector<std::string>& names, int& newHighlight);

    QWidget* m_owner;
    ProfileStore& m_profiles;
    BatchList& m_list;
    SettingsFile& m_settings;
};

} // namespace moxel::gui
