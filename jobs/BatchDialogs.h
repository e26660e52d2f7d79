// The dialogs the batch commands need, as the engine sees them. The desktop
// program implements them with its windows; tests script the answers. Every
// call is modal and runs on the user-interface thread. Paths use '/'.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace moxel {

struct FileFilter {
    std::string description; // "Batch Files (*.txt)"
    std::string patterns;    // "*.txt", several separated by ';'
};

// What the Encoding Details dialog shows and what the user chose in it.
struct EncodingDetails {
    // Shown on opening.
    std::string fileNameTemplate; // the initial pattern, e.g. "ep*.kmf"
    std::string folder;           // last_output_dir, or the source folder
    std::string sourceFolder;     // for "Use Source Folder"
    std::string previousFolder;   // for "Use Previous Output Folder"
    int highlightedProfile = -1;  // position matching last_profile, or -1
    // Chosen (read on OK).
    int chosenProfile = -1; // the highlighted position, or -1 for none
};

class BatchDialogs {
  public:
    virtual ~BatchDialogs() = default;

    // A multi-selection open-file dialog; the chosen paths in order, empty
    // when cancelled.
    virtual std::vector<std::string> chooseOpenFiles(const std::string& title,
                                                     const std::string& initialFolder,
                                                     const std::vector<FileFilter>& filters) = 0;
    // A save-file dialog that asks before overwriting an existing file and
    // requires the folder to exist. Nothing when cancelled.
    virtual std::optional<std::string> chooseSaveFile(const std::string& title,
                                                      const std::string& initialFolder,
                                                      const std::string& proposedPath,
                                                      const std::vector<FileFilter>& filters,
                                                      const std::string& defaultExtension) = 0;
    // The folder browser, opened at initialFolder. Nothing when cancelled.
    virtual std::optional<std::string> browseForFolder(const std::string& initialFolder,
                                                       const std::string& title) = 0;
    // "Encoding Details": fills the edits and the profile list from details,
    // and on OK (or the close box) writes the user's choice back into it
    // (fileNameTemplate, folder, chosenProfile). False for Cancel. The
    // "Edit Profiles" button and the folder buttons are the dialog's own.
    virtual bool runEncodingDetails(EncodingDetails& details) = 0;
    // "Change Profile": every profile in store order, highlighted entry
    // highlighted (-1: none). The highlighted entry on OK (or the close box),
    // -1 when none is; nothing for Cancel.
    virtual std::optional<int> chooseProfile(int highlighted) = 0;
    // "Change Output Filename" with current in the edit. Nothing for Cancel.
    virtual std::optional<std::string> askOutputFileName(const std::string& current) = 0;
};

} // namespace moxel
