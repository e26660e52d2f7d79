#include "settings/ProgramFolders.h"

#include "profiles/TextNumbers.h"
#include "settings/FolderTree.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace moxel {

namespace {

const char* const kSettingsName = "moxel.ini";

void setError(std::string* errorText, std::string text)
{
    if (errorText)
        *errorText = std::move(text);
}

// Root may write to read-only folders, so permission bits say little: try it.
bool folderIsWritable(const std::string& folder)
{
    std::string probe = folder + "/.moxel-probe-XXXXXX";
    int fd = mkstemp(probe.data());
    if (fd < 0)
        return false;
    close(fd);
    unlink(probe.c_str());
    return true;
}

// $XDG_CONFIG_HOME/moxel, or ~/.config/moxel; empty when there is no home.
std::string fallbackConfigFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/moxel";
    const char* home = std::getenv("HOME");
    if (!home || !home[0]) {
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!home || !home[0])
        return {};
    return std::string(home) + "/.config/moxel";
}

// The longest path built below a configuration folder must fit PATH_MAX.
bool fitsSystem(const std::string& config, std::string* errorText)
{
    std::string longest = config + "/Profiles/index.txt";
    if (longest.size() < PATH_MAX)
        return true;
    setError(errorText, "The path " + longest + " is too long for the system");
    return false;
}

} // namespace

bool ProgramFolders::initialise(const std::string& programFile, std::string* errorText)
{
    size_t slash = programFile.find_last_of('/');
    std::string program = slash == std::string::npos ? "." : programFile.substr(0, slash);
    std::string config = program;
    if (!fitsSystem(config, errorText))
        return false;
    if (!folderIsWritable(program)) {
        config = fallbackConfigFolder();
        if (config.empty()) {
            setError(errorText,
                     "The program folder " + program +
                         " is not writable and there is no home folder for the settings");
            return false;
        }
        if (!fitsSystem(config, errorText))
            return false;
        if (!readOnly)
            createFolderTree(config); // a failure shows later as settings that are not kept
    }

    programFolder = program;
    configFolder = config;
    settings = std::make_unique<SettingsFile>(configFolder + "/" + kSettingsName);
    assumeFpsEnabled = settings->getInt("assumefps", 1) != 0;
    assumedFps = parseLeadingDouble(settings->getString("assumefps_val", "30.000"));
    profilesFolder = configFolder + "/Profiles";
    if (!readOnly)
        createFolderTree(profilesFolder); // the profile store reports missing profiles
    profileIndexFile = std::make_unique<SettingsFile>(profilesFolder + "/index.txt");
    if (readOnly)
        setReadOnly();
    return true;
}

void ProgramFolders::setReadOnly()
{
    readOnly = true;
    if (settings)
        settings->setReadOnly();
    if (profileIndexFile)
        profileIndexFile->setReadOnly();
}

void ProgramFolders::release()
{
    settings.reset();
    profileIndexFile.reset();
}

ProgramFolders& programFolders()
{
    static ProgramFolders instance;
    return instance;
}

bool initialiseSettings(const std::string& programFile, std::string* errorText)
{
    return programFolders().initialise(programFile, errorText);
}

bool initialiseSettings(std::string* errorText)
{
    std::string path(PATH_MAX, '\0');
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) {
        setError(errorText, std::string("Cannot find the program file: ") + std::strerror(errno));
        return false;
    }
    if (size_t(length) >= path.size()) {
        setError(errorText, "The program's path is too long for the system");
        return false;
    }
    path.resize(size_t(length));
    return initialiseSettings(path, errorText);
}

void releaseSettings()
{
    programFolders().release();
}

} // namespace moxel
