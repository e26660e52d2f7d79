// The open-file and save-file dialogs of the profile manager's Import and
// Export. The program shows Qt's file dialogs; tests script the answers.
#pragma once

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace moxel::gui {

class ProfileManagerFileChooser {
  public:
    virtual ~ProfileManagerFileChooser() = default;
    // "Import Encoding Profile(s)", opened in folder, several files at once.
    // The chosen paths in the dialog's order; empty when cancelled.
    virtual std::vector<std::string> chooseImportFiles(const std::string& folder) = 0;
    // "Export Profile", opened in folder with fileName filled in (may be
    // empty). The chosen path; nothing when cancelled. It does not ask about
    // an existing file: the caller does.
    virtual std::optional<std::string> chooseExportFile(const std::string& folder,
                                                        const std::string& fileName) = 0;
};

class QtProfileFileChooser : public ProfileManagerFileChooser {
  public:
    static constexpr const char* kImportDialogName = "profileImportDialog";
    static constexpr const char* kExportDialogName = "profileExportDialog";

    explicit QtProfileFileChooser(QWidget* owner) : m_owner(owner) {}

    std::vector<std::string> chooseImportFiles(const std::string& folder) override;
    std::optional<std::string> chooseExportFile(const std::string& folder,
                                                const std::string& fileName) override;

  private:
    QWidget* m_owner;
};

} // namespace moxel::gui
