// How the profile manager has a profile edited. The program uses the editor
// library libKmfConfigDialog.so beside it, loaded afresh for every edit and
// unloaded when the editor has closed; tests put an editor of their own in.
#pragma once

#include <string>

class QWidget;

namespace moxel {
class Prompt;
}

namespace moxel::gui {

class ProfileManagerEditor {
  public:
    virtual ~ProfileManagerEditor() = default;
    // Shows the editor for the profile file, modal to owner, and returns when
    // it has closed. False when no editor could be shown (it has said why);
    // the file is then untouched.
    virtual bool editProfile(QWidget* owner, const std::string& profilePath) = 0;
};

class ProfileEditorLibrary : public ProfileManagerEditor {
  public:
    static constexpr const char* kMissingTitle = "missing file - reinstall KMF encoding tools!";
    static constexpr const char* kCorruptTitle = "corrupt file - reinstall KMF encoding tools!";

    // folder: where the library lies (the program's folder). prompt shows
    // the "DLL not found" and "DLL is corrupt" messages; they have no owner.
    ProfileEditorLibrary(std::string folder, Prompt& prompt);

    bool editProfile(QWidget* owner, const std::string& profilePath) override;

    std::string libraryPath() const;
    void setPrompt(Prompt& prompt) { m_prompt = &prompt; }

  private:
    std::string m_folder;
    Prompt* m_prompt;
};

} // namespace moxel::gui
