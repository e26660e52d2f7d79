#include "app/GuiBatchDialogs.h"

#include "app/ChangeFilenameDialog.h"
#include "app/ChangeProfileDialog.h"
#include "app/EncodingDetailsDialog.h"
#include "app/FolderBrowser.h"
#include "app/OpenFilesDialog.h"
#include "app/ProfileManagerHook.h"
#include "jobs/ProfileStore.h"
#include "settings/SettingsFile.h"

#include <QFileDialog>

namespace moxel::gui {

namespace {

// Qt reads a filter's patterns from its last parentheses, separated by
// spaces; the description is shown alone. "*.*" means every file here,
// also those without an extension.
QStringList nameFilters(const std::vector<FileFilter>& filters)
{
    QStringList list;
    for (const FileFilter& filter : filters) {
        QString patterns = QString::fromStdString(filter.patterns);
        patterns.replace(';', ' ');
        if (patterns.trimmed() == "*.*")
            patterns = "*";
        list << QString::fromStdString(filter.description) + " (" + patterns + ")";
    }
    return list;
}

void prepareFileDialog(QFileDialog& dialog, const char* name,
                       const std::vector<FileFilter>& filters)
{
    dialog.setObjectName(name);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(nameFilters(filters));
}

} // namespace

GuiBatchDialogs::GuiBatchDialogs(QWidget* owner, ProfileStore& profiles, BatchList& list,
                                 SettingsFile& settings)
    : m_owner(owner), m_profiles(profiles), m_list(list), m_settings(settings)
{
}

std::vector<std::string> GuiBatchDialogs::chooseOpenFiles(const std::string& title,
                                                          const std::string& initialFolder,
                                                          const std::vector<FileFilter>& filters)
{
    OpenFilesDialog dialog(m_owner, QString::fromStdString(title), initialFolder, kOpenFilesName,
                           nameFilters(filters), QFileDialog::HideNameFilterDetails);
    return dialog.choose();
}

std::optional<std::string> GuiBatchDialogs::chooseSaveFile(const std::string& title,
                                                           const std::string& initialFolder,
                                                           const std::string& proposedPath,
                                                           const std::vector<FileFilter>& filters,
                                                           const std::string& defaultExtension)
{
    QFileDialog dialog(m_owner, QString::fromStdString(title),
                       QString::fromStdString(initialFolder));
    prepareFileDialog(dialog, kSaveFileName, filters);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromStdString(defaultExtension));
    dialog.selectFile(QString::fromStdString(proposedPath));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> GuiBatchDialogs::browseForFolder(const std::string& initialFolder,
                                                            const std::string& title)
{
    return gui::browseForFolder(m_owner, initialFolder, title);
}

std::vector<std::string> GuiBatchDialogs::profileNames() const
{
    std::vector<std::string> names;
    for (int i = 0; i < m_profiles.count(); ++i)
        names.push_back(m_profiles.displayName(i));
    return names;
}

void GuiBatchDialogs::editProfiles(int highlighted, std::vector<std::string>& names,
                                   int& newHighlight)
{
    m_settings.setString("last_profile",
                         m_profiles.displayName(highlighted >= 0 ? highlighted : 0));
    if (ProfileManagerOpener open = profileManagerOpener())
        open(m_owner, m_profiles, m_list);
    names = profileNames();
    newHighlight = m_profiles.findIgnoringCase(
        m_settings.getString("last_profile", ProfileStore::kDefaultName));
}

bool GuiBatchDialogs::runEncodingDetails(EncodingDetails& details)
{
    EncodingDetailsDialog::Setup setup;
    setup.profileNames = profileNames();
    setup.highlightedProfile = details.highlightedProfile;
    setup.nameTemplate = details.fileNameTemplate;
    setup.folder = details.folder;
    setup.sourceFolder = details.sourceFolder;
    setup.previousFolder = details.previousFolder;
    EncodingDetailsDialog::EditProfiles edit;
    if (profileManagerOpener())
        edit = [this](int highlighted, std::vector<std::string>& names, int& newHighlight) {
            editProfiles(highlighted, names, newHighlight);
        };
    EncodingDetailsDialog dialog(setup, edit, m_owner);
    dialog.setObjectName(kEncodingDetailsName);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    details.fileNameTemplate = dialog.nameTemplate();
    details.folder = dialog.folder();
    details.chosenProfile = dialog.highlightedProfile();
    return true;
}

std::optional<int> GuiBatchDialogs::chooseProfile(int highlighted)
{
    ChangeProfileDialog dialog(profileNames(), highlighted, m_owner);
    dialog.setObjectName(kChangeProfileName);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.highlightedProfile();
}

std::optional<std::string> GuiBatchDialogs::askOutputFileName(const std::string& current)
{
    ChangeFilenameDialog dialog(current, m_owner);
    dialog.setObjectName(kChangeFilenameName);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.fileName();
}

} // namespace moxel::gui
