#include "app/BundledProfiles.h"

#include "jobs/ProfileStore.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace moxel::gui {

namespace fs = std::filesystem;

std::string bundledProfilesFolder(const std::string& programFolder)
{
    std::error_code error;
    const std::string folder = programFolder + "/samples";
    return fs::is_directory(folder, error) ? folder : std::string();
}

int addBundledProfiles(ProfileStore& store, const std::string& folder)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->path().extension() == ".pf" && it->is_regular_file())
            files.push_back(it->path());
    std::sort(files.begin(), files.end());

    int added = 0;
    for (const fs::path& file : files) {
        EncodingProfile& record = store.prepared();
        record.filePath = file.string();
        record.load();
        if (!store.isNameFree(record.friendlyName) || !store.givePreparedFile())
            continue;
        std::error_code copyError;
        if (!fs::copy_file(file, record.filePath, copyError))
            continue;
        record.load();
        store.commitPrepared();
        ++added;
    }
    if (added > 0)
        store.saveIndex();
    return added;
}

} // namespace moxel::gui
