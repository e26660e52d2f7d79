// "Encoding Details": binds the files just added to a profile and chooses
// their output names and folder. The dialog only shows and collects; the
// batch list works out the pattern and the destinations. Escape and Cancel
// cancel; the close box acts as OK.
#pragma once

#include "app/OkOnCloseDialog.h"

#include <functional>
#include <string>
#include <vector>

class QLineEdit;
class QPushButton;

namespace moxel::gui {

class ProfileListBox;

class EncodingDetailsDialog : public OkOnCloseDialog {
    Q_OBJECT
  public:
    struct Setup {
        std::vector<std::string> profileNames;
        int highlightedProfile = -1;
        std::string nameTemplate;   // the initial pattern
        std::string folder;         // the folder edit's first text
        std::string sourceFolder;   // for "Use Source Folder"
        std::string previousFolder; // for "Use Previous Output Folder"
    };
    // Called by "Edit Profiles" with the highlighted entry (-1 for none); it
    // opens the profile manager and gives back the refilled list.
    using EditProfiles =
        std::function<void(int highlighted, std::vector<std::string>& names, int& newHighlight)>;

    EncodingDetailsDialog(const Setup& setup, EditProfiles editProfiles, QWidget* parent = nullptr);

    int highlightedProfile() const;
    std::string nameTemplate() const;
    std::string folder() const;

    ProfileListBox* profileList() const { return m_profiles; }
    QLineEdit* nameEdit() const { return m_name; }
    QLineEdit* folderEdit() const { return m_folder; }
    QPushButton* browseButton() const { return m_browse; }
    QPushButton* previousFolderButton() const { return m_previous; }
    QPushButton* sourceFolderButton() const { return m_source; }
    QPushButton* editProfilesButton() const { return m_edit; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void browse();
    void editProfiles();

    Setup m_setup;
    EditProfiles m_editProfiles;
    ProfileListBox* m_profiles;
    QLineEdit* m_name;
    QLineEdit* m_folder;
    QPushButton* m_browse;
    QPushButton* m_previous;
    QPushButton* m_source;
    QPushButton* m_edit;
};

} // namespace moxel::gui
