// Stand-ins for the windows the batch engine talks to: an in-memory list
// view, a prompt that records what it was told, scripted dialogs, and a
// profile store in a temporary folder.
#pragma once

#include "base/Prompt.h"
#include "jobs/BatchCommands.h"
#include "jobs/BatchDialogs.h"
#include "jobs/BatchList.h"
#include "jobs/BatchListView.h"
#include "jobs/ProfileStore.h"
#include "settings/SettingsFile.h"
#include "support/TempDir.h"

#include <array>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace moxel::test {

class MemoryListView : public BatchListView {
  public:
    struct Row {
        std::array<std::string, kBatchColumnCount> cells;
        int64_t itemData = 0;
        bool selected = false;
        bool focused = false;
    };

    void deleteAllRows() override;
    void appendRow(const std::string& text, int64_t itemData) override;
    int rowCount() const override { return int(rows.size()); }
    int64_t itemData(int row) const override { return rows.at(size_t(row)).itemData; }
    std::string cellText(int row, BatchColumn column) const override;
    void setCellText(int row, BatchColumn column, const std::string& text) override;
    bool isSelected(int row) const override { return rows.at(size_t(row)).selected; }
    void setSelected(int row, bool selected) override { rows.at(size_t(row)).selected = selected; }
    bool isFocused(int row) const override { return rows.at(size_t(row)).focused; }
    void setFocused(int row) override;
    int firstVisibleRow() const override { return firstVisible; }
    void scrollToRow(int row) override { firstVisible = row; }

    std::string status(int row) const { return cellText(row, BatchColumn::Status); }
    // Selects exactly the given rows, as a user's clicks would.
    void select(const std::vector<int>& selectedRows);

    std::vector<Row> rows;
    int firstVisible = 0;
    int statusWrites = 0;
};

class RecordingPrompt : public Prompt {
  public:
    struct Message {
        std::string title, text;
    };
    void showMessage(const std::string& title, const std::string& text) override
    {
        messages.push_back({title, text});
    }
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    FileExistsAnswer askFileExists(const std::string&) override { return FileExistsAnswer::Yes; }

    std::vector<Message> messages;
};

// Each dialog answers from its queue; an empty queue cancels. What the
// dialogs were shown is recorded.
class ScriptedDialogs : public BatchDialogs {
  public:
    struct Details {
        std::optional<std::string> fileNameTemplate; // leave as shown when unset
        std::optional<std::string> folder;
        int chosenProfile = -1;
    };

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

    std::deque<std::vector<std::string>> openFiles;
    std::deque<std::string> saveFiles;
    std::deque<std::string> folders;
    std::deque<Details> details;
    std::deque<int> profiles;
    std::deque<std::string> fileNames;

    std::vector<std::string> titles;         // of every dialog shown, in order
    std::vector<std::string> initialFolders; // of the file and folder dialogs
    std::vector<std::string> proposedPaths;
    std::vector<EncodingDetails> detailsShown;
    std::vector<int> profileHighlights;
    std::vector<std::string> fileNamesShown;
};

// A Profiles folder and index in a temporary folder, and a store on them.
struct ProfileFixture {
    ProfileFixture();
    // Writes name.pf with that friendly_name; returns its path.
    std::string addProfileFile(const std::string& name);
    // Writes index.txt.
    void writeIndex(const std::string& text);
    // Opens the index as the program does at start-up and loads the store.
    void load(const std::string& pluginFolder = {});
    // The index file's text.
    std::string indexText() const;

    TempDir dir;
    std::string profilesFolder;
    std::string indexPath;
    std::unique_ptr<SettingsFile> index;
    RecordingPrompt prompt;
    std::unique_ptr<ProfileStore> store;
};

// A store with the given profile names, loaded.
std::unique_ptr<ProfileFixture> makeProfiles(const std::vector<std::string>& names);

// A job start that starts nothing.
void noStart(BatchRunState& run, BatchJob& job, const std::string& profilePath, Prompt& prompt);

// A batch list in a memory view with its commands, scripted dialogs, a
// settings file and a profile store of the given names.
struct CommandsFixture {
    explicit CommandsFixture(const std::vector<std::string>& profileNames);
    BatchJob& add(const std::string& source, const std::string& dest, int profile);

    std::unique_ptr<ProfileFixture> profiles;
    TempDir dir;
    SettingsFile settings{dir.file("moxel.ini")};
    RecordingPrompt prompt;
    ScriptedDialogs dialogs;
    BatchList list{*profiles->store, prompt, &noStart};
    MemoryListView view;
    BatchCommands commands{list, *profiles->store, settings, dialogs, prompt, "/opt/moxel"};
};

} // namespace moxel::test
