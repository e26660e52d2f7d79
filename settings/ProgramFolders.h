// The program-wide values every part of the program reads: where the program
// and its plug-ins lie, where the settings and profiles live, the settings
// file, the profile index and the assumed frame rate. Start-up fills them
// once with initialiseSettings(); exit ends with releaseSettings(), which
// writes both files if they changed.
//
// The settings file is "moxel.ini" and the profiles are in "Profiles/",
// both beside the program (so every program of the package shares them).
// Where the program's folder is not writable, both live in
// $XDG_CONFIG_HOME/moxel/ (~/.config/moxel/ when the variable is not set).
#pragma once

#include "settings/SettingsFile.h"

#include <atomic>
#include <memory>
#include <string>

namespace moxel {

struct ProgramFolders {
    std::string programFolder;  // folder of the program file, no trailing '/'
    std::string configFolder;   // folder of moxel.ini: programFolder or the fallback
    std::string profilesFolder; // configFolder + "/Profiles"
    std::unique_ptr<SettingsFile> settings;
    std::unique_ptr<SettingsFile> profileIndexFile; // profilesFolder + "/index.txt"
    // Read by the sources on the worker thread; the Preferences dialog may
    // change them while a job runs.
    std::atomic<bool> assumeFpsEnabled{true}; // "assumefps"
    std::atomic<double> assumedFps{30.0};     // "assumefps_val"
    // Set before initialise(), or by setReadOnly(): no folder is made and
    // nothing is written to the settings, the profile index or a profile's
    // file. Jobs read it on their worker.
    std::atomic<bool> readOnly{false};

    // Sets every value from the program file's path. False, with a reason in
    // errorText, when a path is too long for the system; the values are then
    // left unset. A Profiles folder that cannot be made is not an error.
    bool initialise(const std::string& programFile, std::string* errorText = nullptr);
    // Sets readOnly and makes both files read-only.
    void setReadOnly();
    // Writes both files if they changed and drops them.
    void release();
};

// The one instance of the program.
ProgramFolders& programFolders();

// programFolders().initialise() with the running program's file.
bool initialiseSettings(std::string* errorText = nullptr);
// programFolders().initialise(programFile): for tools and tests.
bool initialiseSettings(const std::string& programFile, std::string* errorText = nullptr);
void releaseSettings();

} // namespace moxel
