#include "ManagerFixture.h"

#include "app/ProfileListBox.h"
#include "profiles/EncodingProfile.h"
#include "profiles/IniFile.h"

#include <filesystem>

namespace moxel::test {

void ScriptedPrompt::showMessage(const std::string& title, const std::string& text)
{
    messages.push_back({title, text});
}

bool ScriptedPrompt::askYesNo(const std::string& title, const std::string& text)
{
    questions.push_back({title, text});
    if (answers.empty())
        return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

FileExistsAnswer ScriptedPrompt::askFileExists(const std::string& text)
{
    questions.push_back({"File Exists", text});
    return FileExistsAnswer::CancelJob;
}

std::vector<std::string> ScriptedChooser::chooseImportFiles(const std::string& folder)
{
    opened.push_back(folder);
    if (importAnswers.empty())
        return {};
    std::vector<std::string> answer = importAnswers.front();
    importAnswers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedChooser::chooseExportFile(const std::string& folder,
                                                             const std::string& fileName)
{
    opened.push_back(folder + "|" + fileName);
    if (exportAnswers.empty())
        return std::nullopt;
    std::optional<std::string> answer = exportAnswers.front();
    exportAnswers.pop_front();
    return answer;
}

bool ScriptedEditor::editProfile(QWidget*, const std::string& profilePath)
{
    ++calls;
    if (change)
        change(profilePath);
    return true;
}

ManagerTest::ManagerTest()
{
    m_profilesFolder = m_dir.file("Profiles");
    std::filesystem::create_directory(m_profilesFolder);
    m_index = std::make_unique<SettingsFile>(m_profilesFolder + "/index.txt");
    m_settings = std::make_unique<SettingsFile>(m_dir.file("moxel.ini"));
    // No plug-in folder: new default profiles take the built-in formats.
    m_store = std::make_unique<ProfileStore>(m_profilesFolder, *m_index, std::string());
    m_jobs = std::make_unique<BatchList>(
        *m_store, m_prompt, [](BatchRunState&, BatchJob&, const std::string&, Prompt&) {});
}

ManagerTest::~ManagerTest()
{
    m_dialog.reset();
}

void ManagerTest::listProfile(const std::string& name)
{
    EncodingProfile profile;
    profile.filePath = profileFile(name);
    profile.friendlyName = name;
    ASSERT_TRUE(profile.save());
    m_index->setString("profile" + std::to_string(m_listed), name + ".pf");
    m_index->setInt("num_profiles", ++m_listed);
}

void ManagerTest::open(const std::string& editorFolder)
{
    // A store that lists nothing would be a first start, with its
    // ready-made profiles: these tests begin with "(Default)" alone.
    if (m_listed == 0)
        listProfile(ProfileStore::kDefaultName);
    m_store->loadAll(m_prompt);
    m_dialog =
        std::make_unique<gui::ProfileManagerDialog>(*m_store, *m_jobs, *m_settings, editorFolder);
    m_dialog->setPrompt(m_prompt);
    m_dialog->setFileChooser(m_chooser);
    if (editorFolder.empty())
        m_dialog->setEditor(m_editor);
}

void ManagerTest::addJob(int position)
{
    m_jobs->appendJob().profileIndex = position;
}

std::vector<int> ManagerTest::jobProfiles() const
{
    std::vector<int> positions;
    for (int i = 0; i < m_jobs->count(); ++i)
        positions.push_back(m_jobs->job(i).profileIndex);
    return positions;
}

std::vector<std::string> ManagerTest::names() const
{
    std::vector<std::string> shown;
    gui::ProfileListBox* list = m_dialog->list();
    for (int i = 0; i < list->count(); ++i)
        shown.push_back(list->item(i)->text().toStdString());
    // The list always mirrors the store.
    std::vector<std::string> stored;
    for (int i = 0; i < m_store->count(); ++i)
        stored.push_back(m_store->displayName(i));
    EXPECT_EQ(shown, stored);
    return shown;
}

std::string ManagerTest::selectedName() const
{
    const int row = m_dialog->list()->highlighted();
    return row < 0 ? std::string() : m_dialog->list()->item(row)->text().toStdString();
}

void ManagerTest::select(const std::string& name)
{
    m_dialog->list()->setHighlighted(m_store->findExact(name));
    ASSERT_EQ(selectedName(), name);
}

std::string ManagerTest::profileFile(const std::string& name) const
{
    return m_profilesFolder + "/" + name + ".pf";
}

std::string ManagerTest::lastProfile() const
{
    return m_settings->getString("last_profile", "");
}

void ManagerTest::setFileName(const std::string& path, const std::string& name)
{
    IniFile file = IniFile::load(path);
    file.setString("kmfencpp", "friendly_name", name);
    ASSERT_TRUE(file.save());
}

} // namespace moxel::test
