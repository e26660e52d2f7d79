// "Profile Manager": adds, copies, deletes, edits, imports, exports and
// reorders the encoding profiles. It works on the profile store, the
// profile files and the batch jobs at once: deleting or moving a profile
// renumbers the jobs' profile positions so that every job keeps its profile
// (a job of a deleted profile goes to the first one). The index file is
// written when the dialog closes. Every profile it makes can encode: Add New
// gives the default formats, Import keeps the imported file's codec choice
// and codec sections (and gives the default formats where it has none).
//
// The list shows the store's names in store order; the entry selected is
// the one whose name matches last_profile, which the commands set.
#pragma once

#include <QDialog>

#include <memory>
#include <string>

class QListWidget;
class QPushButton;

namespace moxel {
class BatchList;
class ProfileStore;
class Prompt;
class SettingsFile;
} // namespace moxel

namespace moxel::gui {

class ProfileEditorLibrary;
class ProfileListBox;
class ProfileManagerEditor;
class ProfileManagerFileChooser;

class ProfileManagerDialog : public QDialog {
    Q_OBJECT
  public:
    // The result of exec(): the closing button.
    static constexpr int kExitId = 1024;
    static constexpr int kCloseBoxId = 2;

    static constexpr const char* kDialogName = "profileManagerDialog";

    // settings holds last_profile and the import and export folders;
    // editorFolder is where libKmfConfigDialog.so lies.
    ProfileManagerDialog(ProfileStore& profiles, BatchList& jobs, SettingsFile& settings,
                         const std::string& editorFolder, QWidget* parent = nullptr);
    ~ProfileManagerDialog() override;

    // For tests: messages and questions (the dialog's own boxes otherwise),
    // the file dialogs and the editor. Each must outlive the dialog.
    void setPrompt(Prompt& prompt);
    void setFileChooser(ProfileManagerFileChooser& chooser);
    void setEditor(ProfileManagerEditor& editor);

    // The commands, as their buttons run them.
    void addNew();
    void makeCopy();
    void deleteProfile();
    void editProfile();
    void moveProfile(int direction);
    void importProfiles();
    void exportProfile();
    // Remembers the selection, writes the index and ends with code.
    void closeWith(int code);

    ProfileListBox* list() const { return m_list; }
    QPushButton* editButton() const { return m_edit; }

    void reject() override;

  private:
    // The list from the store, last_profile's entry selected.
    void fillList();
    // The selected entry's name (position 0's when none) into last_profile.
    void rememberSelection();
    int selected() const;
    void setLastProfile(const std::string& name);
    // Notice about a new name from the editor; puts the kept name back.
    void revertName(int position, const std::string& newName, const std::string& keptName,
                    const char* problem);
    QPushButton* addButton(const char* text, const char* name,
                           void (ProfileManagerDialog::*command)());

    ProfileStore& m_profiles;
    BatchList& m_jobs;
    SettingsFile& m_settings;
    std::unique_ptr<Prompt> m_ownPrompt;
    std::unique_ptr<Prompt> m_ownerlessPrompt;
    std::unique_ptr<ProfileManagerFileChooser> m_ownChooser;
    std::unique_ptr<ProfileEditorLibrary> m_ownEditor;
    Prompt* m_prompt;
    ProfileManagerFileChooser* m_chooser;
    ProfileManagerEditor* m_editor;
    ProfileListBox* m_list;
    QPushButton* m_edit = nullptr;
};

// Opens the manager modal to owner on the program's settings and folders:
// what the main window's Profile Manager and Encoding Details' Edit
// Profiles run.
void openProfileManagerDialog(QWidget* owner, ProfileStore& profiles, BatchList& jobs);

} // namespace moxel::gui
