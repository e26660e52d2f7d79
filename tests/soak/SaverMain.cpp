// moxel_soak_saver KIND PATH LETTER|loop: saves a file the way the program
// does, for the tests that kill a save midway. KIND is "settings"
// (SettingsFile::flush), "profile" (EncodingProfile::save) or "atomic"
// (writeFileAtomically). With a letter the content is that letter's and the
// program saves once; with "loop" it saves 'b' and 'a' contents in turn
// forever, printing "ready" after the first save.
#include "app/SettingsFile.h"
#include "profiles/AtomicFile.h"
#include "profiles/EncodingProfile.h"

#include <cstdio>
#include <cstring>
#include <string>

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
        profile.resizew = letter == 'a' ? 320 : 640;
        return profile.save();
    }
    return moxel::writeFileAtomically(path, std::string(64 * 1024, letter));
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
