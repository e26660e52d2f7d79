#include "BatchTestSupport.h"

#include <filesystem>

namespace moxel::test {

namespace {

// The next scripted answer, or nothing (a cancel) when none is left.
template <typename T> std::optional<T> nextAnswer(std::deque<T>& answers)
{
    if (answers.empty())
        return std::nullopt;
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

} // namespace

void noStart(BatchRunState&, BatchJob&, const std::string&, Prompt&) {}

void MemoryListView::deleteAllRows()
{
    rows.clear();
    firstVisible = 0;
}

void MemoryListView::appendRow(const std::string& text, int64_t data)
{
    Row row;
    row.cells[size_t(BatchColumn::Source)] = text;
    row.itemData = data;
    rows.push_back(std::move(row));
}

std::string MemoryListView::cellText(int row, BatchColumn column) const
{
    return rows.at(size_t(row)).cells[size_t(column)];
}

void MemoryListView::setCellText(int row, BatchColumn column, const std::string& text)
{
    if (column == BatchColumn::Status)
        ++statusWrites;
    rows.at(size_t(row)).cells[size_t(column)] = text;
}

void MemoryListView::setFocused(int row)
{
    for (Row& r : rows)
        r.focused = false;
    rows.at(size_t(row)).focused = true;
}

void MemoryListView::select(const std::vector<int>& selectedRows)
{
    for (Row& r : rows)
        r.selected = false;
    for (int row : selectedRows)
        rows.at(size_t(row)).selected = true;
}

std::vector<std::string> ScriptedDialogs::chooseOpenFiles(const std::string& title,
                                                          const std::string& initialFolder,
                                                          const std::vector<FileFilter>&)
{
    titles.push_back(title);
    initialFolders.push_back(initialFolder);
    return nextAnswer(openFiles).value_or(std::vector<std::string>());
}

std::optional<std::string> ScriptedDialogs::chooseSaveFile(const std::string& title,
                                                           const std::string& initialFolder,
                                                           const std::string& proposedPath,
                                                           const std::vector<FileFilter>&,
                                                           const std::string&)
{
    titles.push_back(title);
    initialFolders.push_back(initialFolder);
    proposedPaths.push_back(proposedPath);
    return nextAnswer(saveFiles);
}

std::optional<std::string> ScriptedDialogs::browseForFolder(const std::string& initialFolder,
                                                            const std::string& title)
{
    titles.push_back(title);
    initialFolders.push_back(initialFolder);
    return nextAnswer(folders);
}

bool ScriptedDialogs::runEncodingDetails(EncodingDetails& shown)
{
    titles.push_back("Encoding Details");
    detailsShown.push_back(shown);
    std::optional<Details> answer = nextAnswer(details);
    if (!answer)
        return false;
    if (answer->fileNameTemplate)
        shown.fileNameTemplate = *answer->fileNameTemplate;
    if (answer->folder)
        shown.folder = *answer->folder;
    shown.chosenProfile = answer->chosenProfile;
    return true;
}

std::optional<int> ScriptedDialogs::chooseProfile(int highlighted)
{
    titles.push_back("Change Profile");
    profileHighlights.push_back(highlighted);
    return nextAnswer(profiles);
}

std::optional<std::string> ScriptedDialogs::askOutputFileName(const std::string& current)
{
    titles.push_back("Change Output Filename");
    fileNamesShown.push_back(current);
    return nextAnswer(fileNames);
}

ProfileFixture::ProfileFixture()
    : profilesFolder(dir.file("Profiles")), indexPath(dir.file("Profiles") + "/index.txt")
{
    std::filesystem::create_directory(profilesFolder);
}

std::string ProfileFixture::addProfileFile(const std::string& name)
{
    std::string path = profilesFolder + "/" + name + ".pf";
    writeFileText(path, "[kmfencpp]\r\nfriendly_name=" + name + "\r\n");
    return path;
}

void ProfileFixture::writeIndex(const std::string& text)
{
    writeFileText(indexPath, text);
}

void ProfileFixture::load(const std::string& pluginFolder)
{
    store.reset();
    index = std::make_unique<SettingsFile>(indexPath);
    store = std::make_unique<ProfileStore>(
        profilesFolder, *index, pluginFolder.empty() ? dir.file("no-plugins") : pluginFolder);
    store->loadAll(prompt);
}

std::string ProfileFixture::indexText() const
{
    return readFileText(indexPath);
}

std::unique_ptr<ProfileFixture> makeProfiles(const std::vector<std::string>& names)
{
    auto fixture = std::make_unique<ProfileFixture>();
    std::string index = "[config]\nnum_profiles=" + std::to_string(names.size()) + "\n";
    for (size_t i = 0; i < names.size(); ++i) {
        fixture->addProfileFile(names[i]);
        index += "profile" + std::to_string(i) + "=" + names[i] + ".pf\n";
    }
    fixture->writeIndex(index);
    fixture->load();
    return fixture;
}

} // namespace moxel::test

namespace moxel::test {

CommandsFixture::CommandsFixture(const std::vector<std::string>& profileNames)
    : profiles(makeProfiles(profileNames))
{
    list.setView(&view);
}

BatchJob& CommandsFixture::add(const std::string& source, const std::string& dest, int profile)
{
    BatchJob& job = list.appendJob();
    job.sourcePath = source;
    job.destPath = dest;
    job.profileIndex = profile;
    return job;
}

} // namespace moxel::test
