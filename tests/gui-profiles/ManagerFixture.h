// A profile manager on a store of its own in a temporary folder, with the
// message boxes, the file dialogs and the editor scripted so that nothing
// modal is ever shown.
#pragma once

#include "app/ProfileManagerDialog.h"
#include "app/ProfileManagerEditor.h"
#include "app/ProfileManagerFileChooser.h"
#include "base/Prompt.h"
#include "jobs/BatchList.h"
#include "jobs/ProfileStore.h"
#include "settings/SettingsFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace moxel::test {

struct ShownMessage {
    std::string title;
    std::string text;
};

// Records every message; answers Yes/No questions from a queue (No when
// it is empty).
class ScriptedPrompt : public Prompt {
  public:
    void showMessage(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    FileExistsAnswer askFileExists(const std::string& text) override;

    std::vector<ShownMessage> messages;
    std::vector<ShownMessage> questions;
    std::deque<bool> answers;
};

class ScriptedChooser : public gui::ProfileManagerFileChooser {
  public:
    std::vector<std::string> chooseImportFiles(const std::string& folder) override;
    std::optional<std::string> chooseExportFile(const std::string& folder,
                                                const std::string& fileName) override;

    std::deque<std::vector<std::string>> importAnswers;
    std::deque<std::optional<std::string>> exportAnswers;
    // What each call was opened with: folder, or folder + "|" + file name.
    std::vector<std::string> opened;
};

// Runs change on the profile file as the editor would.
class ScriptedEditor : public gui::ProfileManagerEditor {
  public:
    bool editProfile(QWidget* owner, const std::string& profilePath) override;

    std::function<void(const std::string& path)> change;
    int calls = 0;
};

class ManagerTest : public ::testing::Test {
  protected:
    ManagerTest();
    ~ManagerTest() override;

    // Writes a profile file named after name and lists it in the index;
    // call before open().
    void listProfile(const std::string& name);
    // Loads the store and opens the dialog (not shown). With no profile
    // listed, "(Default)" is.
    void open(const std::string& editorFolder = {});
    // Adds a job on profile position.
    void addJob(int position);
    std::vector<int> jobProfiles() const;
    std::vector<std::string> names() const;
    // The list entry shown selected, or empty.
    std::string selectedName() const;
    void select(const std::string& name);
    std::string profileFile(const std::string& name) const;
    std::string lastProfile() const;
    // Sets friendly_name in a profile file.
    static void setFileName(const std::string& path, const std::string& name);

    TempDir m_dir;
    std::string m_profilesFolder;
    std::unique_ptr<SettingsFile> m_index;
    std::unique_ptr<SettingsFile> m_settings;
    std::unique_ptr<ProfileStore> m_store;
    ScriptedPrompt m_prompt;
    std::unique_ptr<BatchList> m_jobs;
    ScriptedChooser m_chooser;
    ScriptedEditor m_editor;
    std::unique_ptr<gui::ProfileManagerDialog> m_dialog;
    int m_listed = 0;
};

} // namespace moxel::test
