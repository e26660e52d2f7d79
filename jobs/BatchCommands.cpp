#include "jobs/BatchCommands.h"

#include "base/Prompt.h"
#include "jobs/BatchList.h"
#include "jobs/JobPaths.h"
#include "jobs/ProfileStore.h"
#include "profiles/AtomicFile.h"
#include "settings/SettingsFile.h"
#include "sources/MediaExtensions.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

namespace moxel {

namespace {

const char* const kSelectFirst = "Please select something first...";
const char* const kSelectOne = "Please select only one item...";
const char* const kBatchFileName = "KMFbatch.txt";

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    return home && home[0] ? std::string(home) : std::string("/");
}

const std::vector<FileFilter>& batchFilters()
{
    static const std::vector<FileFilter> filters = {{"Batch Files (*.txt)", "*.txt"},
                                                    {"All files", "*.*"}};
    return filters;
}

std::optional<std::string> readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (in.bad())
        return std::nullopt;
    return bytes;
}

} // namespace

BatchCommands::BatchCommands(BatchList& list, ProfileStore& profiles, SettingsFile& settings,
                             BatchDialogs& dialogs, Prompt& prompt, std::string programFolder)
    : m_list(list), m_profiles(profiles), m_settings(settings), m_dialogs(dialogs),
      m_prompt(prompt), m_programFolder(std::move(programFolder))
{
}

void BatchCommands::oops(const std::string& text)
{
    m_prompt.showMessage("Oops", text);
}

bool BatchCommands::refuseLongPath(const std::string& path)
{
    std::string problem = pathLimitProblem(path);
    if (problem.empty())
        return false;
    m_prompt.showMessage("Error", problem + ":\n" + path);
    return true;
}

int BatchCommands::lastProfilePosition() const
{
    return m_profiles.findIgnoringCase(
        m_settings.getString("last_profile", ProfileStore::kDefaultName));
}

void BatchCommands::addSourceFiles()
{
    // Every file the media libraries read comes first, so that nothing they
    // read is hidden until "All files" is picked.
    const std::vector<FileFilter> filters = {
        {"Media Files", readableExtensionPattern()},
        {"Video Files (*.avi, *.mpg, *.mpeg, *.mov)", "*.avi;*.mpg;*.mpeg;*.mov"},
        {"All files", "*.*"}};
    std::vector<std::string> paths = m_dialogs.chooseOpenFiles(
        "Add Source Files", m_settings.getString("batch_load_dir", m_programFolder), filters);
    if (!paths.empty())
        addSources(paths);
}

bool BatchCommands::addSources(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return false;
    m_list.setRefreshSuspended(true);
    m_list.syncFromView();
    const int first = m_list.count();
    const int added = int(paths.size());
    m_list.resizeStorage(first + added);
    for (int i = 0; i < first; ++i)
        m_list.job(i).isNew = false;
    std::vector<std::string> defaults;
    for (const std::string& path : paths) {
        BatchJob& job = m_list.appendJob();
        job.sourcePath = path;
        job.destPath = defaultDestination(path);
        job.profileIndex = 0;
        job.isNew = true;
        defaults.push_back(job.destPath);
    }

    EncodingDetails details;
    const std::string pattern = initialPattern(defaults);
    details.fileNameTemplate = pattern;
    details.sourceFolder = std::string(folderPart(defaults.front()));
    details.previousFolder = m_settings.getString("last_output_dir", details.sourceFolder);
    details.folder = details.previousFolder;
    details.highlightedProfile = lastProfilePosition();

    std::vector<std::string> destinations;
    for (;;) {
        if (!m_dialogs.runEncodingDetails(details)) {
            m_list.dropLastJobs(added);
            m_list.setRefreshSuspended(false);
            return false;
        }
        const std::string folder = withTrailingSlash(details.folder);
        destinations.clear();
        bool fits = true;
        for (int i = first; i < first + added && fits; ++i) {
            destinations.push_back(folder + expandTemplate(details.fileNameTemplate,
                                                           fileNamePart(m_list.job(i).destPath),
                                                           pattern));
            fits = !refuseLongPath(destinations.back());
        }
        if (fits)
            break;
        // Too long: the dialog opens again with what the user typed and the
        // profile the user highlighted (none stays none).
        details.highlightedProfile = details.chosenProfile;
    }

    const int chosen = m_profiles.at(details.chosenProfile) ? details.chosenProfile : 0;
    m_settings.setString("last_profile", m_profiles.displayName(chosen));
    m_settings.setString("last_output_dir", details.folder);
    for (int i = first; i < first + added; ++i) {
        BatchJob& job = m_list.job(i);
        job.profileIndex = chosen;
        job.destPath = destinations[size_t(i - first)];
    }
    if (paths.front().find('/') != std::string::npos) {
        const std::string_view folder = folderPart(paths.front());
        m_settings.setString("batch_load_dir", folder.empty() ? "/" : std::string(folder));
    }
    m_list.rebuildView();
    m_list.setRefreshSuspended(false);
    return true;
}

void BatchCommands::changeProfile()
{
    m_list.syncFromView();
    if (m_list.selectedCount() == 0) {
        oops(kSelectFirst);
        m_list.rebuildView();
        return;
    }
    int shared = -2; // none seen yet
    for (int i = 0; i < m_list.count(); ++i) {
        const BatchJob& job = m_list.job(i);
        if (!job.selected)
            continue;
        shared = shared == -2 || shared == job.profileIndex ? job.profileIndex : -1;
    }
    std::optional<int> answer = m_dialogs.chooseProfile(m_profiles.at(shared) ? shared : -1);
    if (answer) {
        const int chosen = m_profiles.at(*answer) ? *answer : 0;
        for (int i = 0; i < m_list.count(); ++i)
            if (m_list.job(i).selected)
                m_list.job(i).profileIndex = chosen;
    }
    m_list.rebuildView();
}

void BatchCommands::changeOutputFilename()
{
    m_list.syncFromView();
    const int selected = m_list.selectedCount();
    if (selected != 1) {
        oops(selected == 0 ? kSelectFirst : kSelectOne);
        m_list.rebuildView();
        return;
    }
    BatchJob* job = nullptr;
    for (int i = 0; i < m_list.count() && !job; ++i)
        if (m_list.job(i).selected)
            job = &m_list.job(i);
    const std::string_view name = fileNamePart(job->destPath);
    std::optional<std::string> answer = m_dialogs.askOutputFileName(std::string(name));
    if (answer) {
        std::string dest = job->destPath.substr(0, job->destPath.size() - name.size()) + *answer;
        if (!refuseLongPath(dest))
            job->destPath = std::move(dest);
    }
    m_list.rebuildView();
}

void BatchCommands::changeOutputPath()
{
    m_list.syncFromView();
    if (m_list.count() == 0) {
        oops(kSelectFirst);
        m_list.rebuildView();
        return;
    }
    std::optional<std::string> common;
    bool differ = false;
    for (int i = 0; i < m_list.count(); ++i) {
        const BatchJob& job = m_list.job(i);
        if (!job.selected)
            continue;
        std::string folder(folderPart(job.destPath));
        if (!common)
            common = folder;
        else if (!equalsIgnoringCase(*common, folder))
            differ = true;
    }
    if (!common) {
        oops(kSelectFirst);
        m_list.rebuildView();
        return;
    }
    const std::string start = differ ? m_settings.getString("last_output_dir", "") : *common;
    std::optional<std::string> chosen =
        m_dialogs.browseForFolder(start, "Please select the new output path:");
    if (chosen) {
        const std::string folder = withTrailingSlash(*chosen);
        std::vector<std::pair<BatchJob*, std::string>> changes;
        bool fits = true;
        for (int i = 0; i < m_list.count() && fits; ++i) {
            BatchJob& job = m_list.job(i);
            if (!job.selected)
                continue;
            changes.emplace_back(&job, folder + std::string(fileNamePart(job.destPath)));
            fits = !refuseLongPath(changes.back().second);
        }
        if (fits) {
            for (auto& [job, dest] : changes)
                job->destPath = std::move(dest);
            m_settings.setString("last_output_dir", folder);
        }
    }
    m_list.rebuildView();
}

bool BatchCommands::writeBatchFile(const std::string& path, bool selectedOnly)
{
    std::vector<size_t> skipped;
    std::vector<BatchFileEntry> entries = batchEntries(m_list, m_profiles, selectedOnly);
    const std::string bytes = formatBatchFile(entries, &skipped);
    if (!writeFileAtomically(path, bytes)) {
        m_prompt.showMessage("Error", "The batch file could not be created:\n" + path);
        return false;
    }
    if (!skipped.empty()) {
        std::string text = "These jobs were left out of the batch file because a path or "
                           "profile name holds a tab or a line break:";
        for (size_t i : skipped)
            text += "\n" + entries[i].sourcePath;
        m_prompt.showMessage("Error", text);
    }
    return true;
}

void BatchCommands::saveBatch()
{
    if (m_list.count() == 0)
        return;
    const std::string folder = m_settings.getString("batch_load_dir", homeFolder());
    std::optional<std::string> path = m_dialogs.chooseSaveFile(
        "Save Batch", folder, withTrailingSlash(folder) + kBatchFileName, batchFilters(), "txt");
    if (path)
        writeBatchFile(*path, false);
}

void BatchCommands::exportSelected()
{
    m_list.syncFromView();
    if (m_list.selectedCount() == 0) {
        oops(kSelectFirst);
        return;
    }
    const std::string folder = m_settings.getString("batch_load_dir", homeFolder());
    std::optional<std::string> path =
        m_dialogs.chooseSaveFile("Export Selected", folder,
                                 withTrailingSlash(folder) + kBatchFileName, batchFilters(), "txt");
    if (path)
        writeBatchFile(*path, true);
}

void BatchCommands::loadBatch()
{
    std::vector<std::string> paths = m_dialogs.chooseOpenFiles(
        "Load Batch", m_settings.getString("batch_load_dir", homeFolder()), batchFilters());
    if (!paths.empty())
        loadBatchFile(paths.front());
}

void BatchCommands::importBatch()
{
    std::vector<std::string> paths = m_dialogs.chooseOpenFiles(
        "Import Batch", m_settings.getString("batch_load_dir", homeFolder()), batchFilters());
    for (const std::string& path : paths)
        importBatchFile(path);
}

int BatchCommands::loadBatchFile(const std::string& path)
{
    std::optional<std::string> bytes = readWholeFile(path);
    if (!bytes) {
        m_prompt.showMessage("Error", "The batch file could not be read:\n" + path);
        return -1;
    }
    m_list.removeJobs(true);
    return appendEntries(path, *bytes);
}

int BatchCommands::importBatchFile(const std::string& path)
{
    std::optional<std::string> bytes = readWholeFile(path);
    if (!bytes) {
        m_prompt.showMessage("Error", "The batch file could not be read:\n" + path);
        return -1;
    }
    m_list.syncFromView();
    return appendEntries(path, *bytes);
}

int BatchCommands::appendEntries(const std::string& path, const std::string& bytes)
{
    AppendedBatch appended = appendBatchJobs(m_list, m_profiles, bytes);
    m_list.rebuildView();
    if (!appended.problems.empty())
        m_prompt.showMessage("Error", describeProblems(path, appended.problems));
    return appended.added;
}

} // namespace moxel
