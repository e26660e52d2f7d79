#include "settings/ProgramFolders.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

using namespace moxel;
namespace fs = std::filesystem;

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(ProgramFolders, BesideAWritableProgram)
{
    test::TempDir dir;
    fs::create_directory(dir.file("bin"));
    std::string bin = dir.file("bin");
    test::writeFileText(bin + "/moxel.ini", "[config]\r\nassumefps=0\r\nassumefps_val=25.5fps\r\n");

    ProgramFolders folders;
    std::string error;
    ASSERT_TRUE(folders.initialise(bin + "/moxel-cli", &error)) << error;
    EXPECT_EQ(folders.programFolder, bin);
    EXPECT_EQ(folders.configFolder, bin);
    EXPECT_EQ(folders.profilesFolder, bin + "/Profiles");
    EXPECT_TRUE(fs::is_directory(bin + "/Profiles"));
    EXPECT_EQ(folders.settings->path(), bin + "/moxel.ini");
    EXPECT_EQ(folders.profileIndexFile->path(), bin + "/Profiles/index.txt");
    EXPECT_FALSE(folders.assumeFpsEnabled);
    EXPECT_EQ(folders.assumedFps, 25.5);

    folders.profileIndexFile->setInt("num_profiles", 1);
    folders.release();
    EXPECT_EQ(test::readFileText(bin + "/Profiles/index.txt"), "[config]\r\nnum_profiles=1\r\n");
    EXPECT_EQ(test::readFileText(bin + "/moxel.ini"),
              "[config]\r\nassumefps=0\r\nassumefps_val=25.5fps\r\n")
        << "settings not changed are not rewritten";
    size_t entries = size_t(std::distance(fs::directory_iterator(bin), fs::directory_iterator()));
    EXPECT_EQ(entries, 2u) << "only moxel.ini and Profiles: the write probe is gone";
}

TEST(ProgramFolders, DefaultsWithoutSettingsFile)
{
    test::TempDir dir;
    ProgramFolders folders;
    ASSERT_TRUE(folders.initialise(dir.file("moxel")));
    EXPECT_TRUE(folders.assumeFpsEnabled);
    EXPECT_EQ(folders.assumedFps, 30.0);
    folders.release();
    EXPECT_FALSE(fs::exists(dir.file("moxel.ini"))) << "nothing set, nothing written";
}

// Root may write anywhere, so the program folder is made unwritable by
// putting it below a regular file.
TEST(ProgramFolders, UnwritableProgramFolderUsesConfigHome)
{
    test::TempDir dir;
    test::writeFileText(dir.file("file"), "");
    std::string program = dir.file("file/bin/moxel");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", dir.file("xdg").c_str());
        ProgramFolders folders;
        std::string error;
        ASSERT_TRUE(folders.initialise(program, &error)) << error;
        EXPECT_EQ(folders.programFolder, dir.file("file/bin"));
        EXPECT_EQ(folders.configFolder, dir.file("xdg/moxel"));
        EXPECT_EQ(folders.settings->path(), dir.file("xdg/moxel/moxel.ini"));
        EXPECT_TRUE(fs::is_directory(dir.file("xdg/moxel/Profiles")));
        folders.settings->setInt("confirmquit", 0);
        folders.release();
        EXPECT_EQ(test::readFileText(dir.file("xdg/moxel/moxel.ini")),
                  "[config]\r\nconfirmquit=0\r\n");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        ScopedEnv home("HOME", dir.file("home").c_str());
        ProgramFolders folders;
        ASSERT_TRUE(folders.initialise(program));
        EXPECT_EQ(folders.configFolder, dir.file("home/.config/moxel"));
        EXPECT_TRUE(fs::is_directory(dir.file("home/.config/moxel/Profiles")));
    }
}

TEST(ProgramFolders, TooLongPathIsAnError)
{
    test::TempDir dir;
    std::string program = dir.path().string();
    while (program.size() < 5000)
        program += "/" + std::string(200, 'd');
    ProgramFolders folders;
    std::string error;
    EXPECT_FALSE(folders.initialise(program + "/moxel", &error));
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
    EXPECT_FALSE(folders.settings);
}

} // namespace
