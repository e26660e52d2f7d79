#include "app/ProfileManagerDialog.h"

#include "app/GuiPrompt.h"
#include "app/ProfileListBox.h"
#include "app/ProfileManagerEditor.h"
#include "app/ProfileManagerFileChooser.h"
#include "app/ProfileManagerFiles.h"
#include "jobs/BatchList.h"
#include "jobs/DefaultFormats.h"
#include "jobs/JobPaths.h"
#include "jobs/ProfileStore.h"
#include "profiles/IniFile.h"
#include "settings/ProgramFolders.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

namespace moxel::gui {

namespace {

const char* const kLastProfile = "last_profile";
const char* const kImportDir = "last_profile_import_dir";
const char* const kExportDir = "last_profile_export_dir";
const char* const kOops = "Oops";
const char* const kNotice = "Notice";

// The dialog's size in dialog units, 215 by 191, at the usual font.
constexpr int kWidth = 322;
constexpr int kHeight = 310;

std::string homeFolder()
{
    return QDir::homePath().toStdString();
}

// Both patterns of a renamed profile's notice: the new name, then the kept one.
std::string nameNotice(const char* problem, const std::string& newName, const std::string& keptName)
{
    return "The new name that you entered for this profile ('" + newName + "')\n" + problem +
           "  Now reverting to the prior name\n('" + keptName + "').";
}

// A file with a section of the profile files' own: one worth copying whole.
bool isProfileFile(const std::string& path)
{
    const IniFile file = IniFile::load(path);
    return file.hasSection("kmfencpp") || file.hasSection("kmfconfig");
}

} // namespace

ProfileManagerDialog::ProfileManagerDialog(ProfileStore& profiles, BatchList& jobs,
                                           SettingsFile& settings, const std::string& editorFolder,
                                           QWidget* parent)
    : QDialog(parent), m_profiles(profiles), m_jobs(jobs), m_settings(settings),
      m_ownPrompt(std::make_unique<GuiPrompt>(this)),
      m_ownerlessPrompt(std::make_unique<GuiPrompt>(nullptr)),
      m_ownChooser(std::make_unique<QtProfileFileChooser>(this)),
      m_ownEditor(std::make_unique<ProfileEditorLibrary>(editorFolder, *m_ownerlessPrompt)),
      m_prompt(m_ownPrompt.get()), m_chooser(m_ownChooser.get()), m_editor(m_ownEditor.get())
{
    setObjectName(kDialogName);
    setWindowTitle("Profile Manager");
    resize(kWidth, kHeight);

    auto* listColumn = new QVBoxLayout;
    auto* label = new QLabel("Encoding Profiles:");
    m_list = new ProfileListBox;
    m_list->setObjectName("profileList");
    label->setBuddy(m_list);
    listColumn->addWidget(label);
    listColumn->addWidget(m_list, 1);
    // A double-click edits; Enter reaches the default button, Edit.
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { editProfile(); });

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(addButton("&Add New", "addNewButton", &ProfileManagerDialog::addNew));
    buttons->addWidget(addButton("Make a &Copy", "copyButton", &ProfileManagerDialog::makeCopy));
    buttons->addWidget(addButton("&Delete", "deleteButton", &ProfileManagerDialog::deleteProfile));
    m_edit = addButton("&Edit", "editButton", &ProfileManagerDialog::editProfile);
    m_edit->setDefault(true);
    buttons->addWidget(m_edit);
    QPushButton* up = addButton("Move &Up", "moveUpButton", nullptr);
    connect(up, &QPushButton::clicked, this, [this] { moveProfile(-1); });
    buttons->addWidget(up);
    QPushButton* down = addButton("Mo&ve Down", "moveDownButton", nullptr);
    connect(down, &QPushButton::clicked, this, [this] { moveProfile(1); });
    buttons->addWidget(down);
    buttons->addWidget(addButton("&Import", "importButton", &ProfileManagerDialog::importProfiles));
    buttons->addWidget(addButton("Exp&ort", "exportButton", &ProfileManagerDialog::exportProfile));
    buttons->addStretch(1);
    QPushButton* exit = addButton("E&xit", "exitButton", nullptr);
    connect(exit, &QPushButton::clicked, this, [this] { closeWith(kExitId); });
    buttons->addWidget(exit);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(listColumn, 1);
    layout->addLayout(buttons);

    fillList();
    m_list->setFocus();
}

ProfileManagerDialog::~ProfileManagerDialog() = default;

QPushButton* ProfileManagerDialog::addButton(const char* text, const char* name,
                                             void (ProfileManagerDialog::*command)())
{
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    // Enter on a focused button presses that button; elsewhere it is Edit.
    button->setAutoDefault(true);
    if (command)
        connect(button, &QPushButton::clicked, this, command);
    return button;
}

void ProfileManagerDialog::setPrompt(Prompt& prompt)
{
    m_prompt = &prompt;
    m_ownEditor->setPrompt(prompt);
}

void ProfileManagerDialog::setFileChooser(ProfileManagerFileChooser& chooser)
{
    m_chooser = &chooser;
}

void ProfileManagerDialog::setEditor(ProfileManagerEditor& editor)
{
    m_editor = &editor;
}

int ProfileManagerDialog::selected() const
{
    const int position = m_list->highlighted();
    return position < m_profiles.count() ? position : -1;
}

void ProfileManagerDialog::setLastProfile(const std::string& name)
{
    m_settings.setString(kLastProfile, name);
}

void ProfileManagerDialog::fillList()
{
    std::vector<std::string> names;
    names.reserve(size_t(m_profiles.count()));
    for (int i = 0; i < m_profiles.count(); ++i)
        names.push_back(m_profiles.displayName(i));
    const std::string last = m_settings.getString(kLastProfile, ProfileStore::kDefaultName);
    m_list->setProfiles(names, m_profiles.findIgnoringCase(last));
}

void ProfileManagerDialog::rememberSelection()
{
    const int position = selected();
    setLastProfile(m_profiles.displayName(position < 0 ? 0 : position));
}

void ProfileManagerDialog::closeWith(int code)
{
    rememberSelection();
    m_profiles.saveIndex();
    done(code);
}

void ProfileManagerDialog::reject()
{
    closeWith(kCloseBoxId);
}

void ProfileManagerDialog::addNew()
{
    rememberSelection();
    m_profiles.resize(m_profiles.count() + 1);
    EncodingProfile& record = m_profiles.prepared();
    record.resetToDefaults();
    record.friendlyName = m_profiles.chooseFreeName("new profile", "new profile", "%s (%d)");
    if (m_profiles.givePreparedFile()) {
        // The formats a first start gives: a profile without any would stop
        // every job that uses it.
        record.save();
        giveMissingFormats(record.filePath, m_profiles.pluginFolder());
        setLastProfile(record.friendlyName);
        m_profiles.commitPrepared();
    }
    fillList();
}

void ProfileManagerDialog::makeCopy()
{
    rememberSelection();
    const int source = selected();
    if (source < 0) {
        m_prompt->showMessage(kOops,
                              "Please select a profile to make a copy of, and then try again.");
        return;
    }
    m_profiles.resize(m_profiles.count() + 1);
    EncodingProfile& record = m_profiles.prepared();
    const EncodingProfile& original = *m_profiles.at(source);
    record = original;
    record.friendlyName = m_profiles.chooseFreeName("copy of " + original.friendlyName,
                                                    original.friendlyName, "copy (%d) of %s");
    // The copied file brings the codec choice and the codec's own sections;
    // saving then writes the new name and the processing options into it.
    if (m_profiles.givePreparedFile() && copyWithoutReplacing(original.filePath, record.filePath)) {
        record.save();
        m_profiles.commitPrepared();
    }
    fillList();
}

void ProfileManagerDialog::deleteProfile()
{
    if (m_profiles.count() == 1) {
        m_prompt->showMessage("muffin", "Unable to delete this profile; at least one profile\n"
                                        "must exist at all times.");
        return;
    }
    const int position = selected();
    if (position < 0) {
        m_prompt->showMessage(kOops, "Please select a profile to delete, and then try again.");
        return;
    }
    int jobsUsing = 0;
    for (int i = 0; i < m_jobs.count(); ++i)
        if (m_jobs.job(i).profileIndex == position)
            ++jobsUsing;
    std::string question;
    if (jobsUsing > 0) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "There are currently %d output files using this encoding profile;\n"
                      "if you delete the profile, they will all be remapped to the first profile "
                      "in the list.\n\n",
                      jobsUsing);
        question = text;
    }
    question += "Are you sure you want to delete this profile?\nThis action can not be undone.";
    if (!m_prompt->askYesNo("Confirm Delete", question))
        return;

    for (int i = 0; i < m_jobs.count(); ++i) {
        int& index = m_jobs.job(i).profileIndex;
        if (index > position)
            --index;
        else if (index == position)
            index = 0;
    }
    std::error_code ignored;
    std::filesystem::remove(m_profiles.filePath(position), ignored);
    m_profiles.removeAt(position);
    setLastProfile(m_profiles.displayName(std::min(position, m_profiles.count() - 1)));
    fillList();
}

void ProfileManagerDialog::revertName(int position, const std::string& newName,
                                      const std::string& keptName, const char* problem)
{
    m_prompt->showMessage(kNotice, nameNotice(problem, newName, keptName));
    EncodingProfile& record = *m_profiles.at(position);
    record.friendlyName = keptName;
    record.save();
}

void ProfileManagerDialog::editProfile()
{
    const int position = selected();
    if (position < 0) {
        m_prompt->showMessage(kOops, "Please select a profile to edit, and then try again.");
        return;
    }
    EncodingProfile& record = *m_profiles.at(position);
    const std::string keptName = record.friendlyName;
    if (!m_editor->editProfile(this, record.filePath))
        return;
    record.load();
    const std::string newName = record.friendlyName;

    for (int i = 0; i < m_profiles.count(); ++i) {
        if (i != position && m_profiles.displayName(i) == newName) {
            revertName(position, newName, keptName, "was already in use.");
            fillList();
            return;
        }
    }
    // The file follows the name. A name that cannot be a file name of the
    // Profiles folder, or whose file exists, is refused: the rename must
    // neither leave the folder nor replace another file.
    const std::string newPath = std::string(folderPart(record.filePath)) + "/" + newName + ".pf";
    if (!isUsableProfileFileName(newName) || !pathLimitProblem(newPath).empty() ||
        !renameWithoutReplacing(record.filePath, newPath)) {
        revertName(position, newName, keptName, "is invalid.");
        return;
    }
    record.filePath = newPath;
    setLastProfile(newName);
    fillList();
}

void ProfileManagerDialog::moveProfile(int direction)
{
    const int position = selected();
    if (position < 0) {
        m_prompt->showMessage(kOops, "Please select a profile, and then try again.");
        return;
    }
    const int neighbour = position + direction;
    if (neighbour < 0 || neighbour >= m_profiles.count())
        return;
    setLastProfile(m_profiles.displayName(position));
    m_profiles.swapPositions(position, neighbour);
    for (int i = 0; i < m_jobs.count(); ++i) {
        int& index = m_jobs.job(i).profileIndex;
        if (index == position)
            index = neighbour;
        else if (index == neighbour)
            index = position;
    }
    fillList();
}

void ProfileManagerDialog::importProfiles()
{
    const std::vector<std::string> files =
        m_chooser->chooseImportFiles(m_settings.getString(kImportDir, homeFolder()));
    if (files.empty())
        return;
    m_profiles.resize(m_profiles.count() + int(files.size()));
    for (const std::string& file : files) {
        EncodingProfile& record = m_profiles.prepared();
        record.filePath = file;
        record.load();
        const std::string base = importedProfileBaseName(record.friendlyName);
        record.friendlyName = m_profiles.chooseFreeName(base, base, "%s (%d)");
        if (m_profiles.givePreparedFile()) {
            // A profile file comes along whole, as Make a Copy takes it: the
            // codec choice, the container options and the codec's own
            // sections are the user's settings too. Saving then writes the
            // new name and the processing options into the copy. Anything
            // else (a missing file, a file of another kind) gives the
            // processing options alone; either way a format that is missing
            // gets the default one.
            if (isProfileFile(file))
                copyWithoutReplacing(file, record.filePath);
            record.save();
            giveMissingFormats(record.filePath, m_profiles.pluginFolder());
            setLastProfile(record.friendlyName);
            m_profiles.commitPrepared();
        }
    }
    const std::string_view folder = folderPart(files.front());
    if (!folder.empty())
        m_settings.setString(kImportDir, folder);
    fillList();
}

void ProfileManagerDialog::exportProfile()
{
    const int position = selected();
    if (position < 0) {
        m_prompt->showMessage(kOops, "Please select a profile to export, and then try again.");
        return;
    }
    std::string folder = m_settings.getString(kExportDir, homeFolder());
    std::string fileName;
    std::optional<std::string> chosen;
    for (;;) {
        chosen = m_chooser->chooseExportFile(folder, fileName);
        if (!chosen)
            return;
        std::error_code ec;
        if (!std::filesystem::exists(*chosen, ec))
            break;
        if (m_prompt->askYesNo("Overwrite existing file?",
                               "This file already exists.  Overwrite it?"))
            break;
        folder = std::string(folderPart(*chosen));
        fileName = std::string(fileNamePart(*chosen));
    }
    if (!copyReplacing(m_profiles.filePath(position), *chosen))
        m_prompt->showMessage("Error", "The profile could not be written to\n" + *chosen);
    const std::string_view chosenFolder = folderPart(*chosen);
    if (!chosenFolder.empty())
        m_settings.setString(kExportDir, chosenFolder);
}

void openProfileManagerDialog(QWidget* owner, ProfileStore& profiles, BatchList& jobs)
{
    ProgramFolders& folders = programFolders();
    ProfileManagerDialog dialog(profiles, jobs, *folders.settings, folders.programFolder, owner);
    dialog.exec();
}

} // namespace moxel::gui
