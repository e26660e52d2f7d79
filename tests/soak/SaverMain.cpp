// moxel_soak_saver KIND PATH LETTER|loop: saves a file the way the program
// does, for the tests that kill a save midway. KIND is "settings"
// (SettingsFile::flush), "profile" (EncodingProfile::save) or "queue" (a
// batch list of 500 jobs written the way Save Batch and the kept queue
// write it). With a letter the content is that letter's and the
// program saves once; with "loop" it saves 'b' and 'a' contents in turn
// forever, printing "ready" after the first save.
#include "jobs/BatchFile.h"
#include "profiles/AtomicFile.h"
#include "profiles/EncodingProfile.h"
#include "settings/SettingsFile.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool save(const std::string& kind, const std::string& path, char letter)
{
    const std::string value(kind == "profile" ? 200 : 3000, letter);
    if (kind == "settings") {
        moxel::SettingsFile settings(path);
        settings.setString("value", value);
        settings.setString("letter", std::string(1, letter));
        return settings.flush();
    }
    if (kind == "profile") {
        moxel::EncodingProfile profile;
        profile.filePath = path;
        profile.friendlyName = value;
        profile.resizeWidth = letter == 'a' ? 320 : 640;
        return profile.save();
    }
    std::vector<moxel::BatchFileEntry> jobs(500);
    for (size_t i = 0; i < jobs.size(); ++i) {
        jobs[i].sourcePath = "/videos/" + std::string(40, letter) + std::to_string(i) + ".mp4";
        jobs[i].destPath = "/out/" + std::to_string(i) + ".kmf";
        jobs[i].profileName = "profile " + std::string(1, letter);
    }
    return moxel::writeFileAtomically(path, moxel::formatBatchFile(jobs));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const std::string kind = argv[1], path = argv[2];
    if (std::strcmp(argv[3], "loop") != 0)
        return save(kind, path, argv[3][0]) ? 0 : 1;
    for (unsigned i = 0;; ++i) {
        if (!save(kind, path, i % 2 ? 'a' : 'b'))
            return 1;
        if (i == 0) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
}
