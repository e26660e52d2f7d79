// The plug-in loader against hostile libraries: ones that crash, end the
// process or hang while loading, export nothing or crash listing their
// formats are skipped with a message, and plug-ins are only ever loaded
// from the folder asked for, never from the current folder or through
// LD_LIBRARY_PATH.
#include "encoder/CodecPlugins.h"
#include "encoder/PluginProbe.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using namespace moxel;
using namespace moxel::test;

namespace fs = std::filesystem;

namespace {

const fs::path kPluginDir = MOXEL_TEST_PLUGIN_DIR;

void copyPlugin(const std::string& from, const fs::path& to)
{
    fs::copy_file(kPluginDir / from, to);
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The stderr line that names file, or "" when there is none.
std::string lineNaming(const std::vector<std::string>& lines, const std::string& file)
{
    for (const std::string& line : lines)
        if (line.find("/" + file + ":") != std::string::npos)
            return line;
    return {};
}

// Runs the current folder change in a scope and restores it.
class InFolder {
  public:
    explicit InFolder(const fs::path& folder) : m_old(fs::current_path())
    {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(m_old); }

  private:
    fs::path m_old;
};

} // namespace

TEST(PluginSafety, LibrariesThatFailTheirTrialAreSkippedWithAReason)
{
    TempDir dir;
    copyPlugin("kmf_coder_zztest.so", dir.path() / "kmf_coder_good.so");
    const std::vector<std::string> bad = {"noentries", "abort", "segv", "exit", "listcrash"};
    for (const std::string& b : bad)
        copyPlugin("kmf_coder_zzbad" + b + ".so", dir.path() / ("kmf_coder_zzbad" + b + ".so"));

    CodecPluginSet set;
    testing::internal::CaptureStderr();
    EXPECT_EQ(set.load(dir.path().string()), 1);
    std::vector<std::string> lines = linesOf(testing::internal::GetCapturedStderr());
    ASSERT_EQ(set.plugins().size(), 1u);
    EXPECT_EQ(fs::path(set.plugins()[0].path).filename(), "kmf_coder_good.so");

    EXPECT_EQ(lines.size(), bad.size());
    for (const std::string& b : bad) {
        std::string line = lineNaming(lines, "kmf_coder_zzbad" + b + ".so");
        EXPECT_EQ(line.rfind("codec plug-ins: skipping ", 0), 0u) << b << ": " << line;
    }
    EXPECT_NE(
        lineNaming(lines, "kmf_coder_zzbadnoentries.so").find("none of the codec plug-in entries"),
        std::string::npos);
    EXPECT_NE(lineNaming(lines, "kmf_coder_zzbadexit.so").find("ended the process"),
              std::string::npos);
    EXPECT_NE(lineNaming(lines, "kmf_coder_zzbadabort.so").find("crashed on its trial load"),
              std::string::npos);
    // The survivor still works.
    EXPECT_EQ(set.audioTypes(false).size(), 1u);
}

TEST(PluginSafety, ALibraryThatHangsWhileLoadingIsGivenUp)
{
    PluginProbeResult probe =
        probeCodecPlugin((kPluginDir / "kmf_coder_zzbadhang.so").string(), 200);
    EXPECT_FALSE(probe.ok);
    EXPECT_NE(probe.reason.find("did not finish loading"), std::string::npos) << probe.reason;
}

TEST(PluginSafety, TrialOfAGoodPluginAndOfAMissingFile)
{
    EXPECT_TRUE(probeCodecPlugin((kPluginDir / "kmf_coder_zztest.so").string()).ok);
    PluginProbeResult missing = probeCodecPlugin((kPluginDir / "kmf_coder_missing.so").string());
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.reason.find("kmf_coder_missing.so"), std::string::npos) << missing.reason;
}

TEST(PluginSafety, AFolderIsAlwaysLoadedByAbsolutePath)
{
    TempDir dir;
    copyPlugin("kmf_coder_zztest.so", dir.path() / "kmf_coder_here.so");
    InFolder here(dir.path());

    CodecPluginSet none;
    testing::internal::CaptureStderr();
    EXPECT_EQ(none.load(""), 0) << "no folder is not the current folder";
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no folder"), std::string::npos);

    CodecPluginSet set;
    EXPECT_EQ(set.load("."), 1);
    ASSERT_EQ(set.plugins().size(), 1u);
    EXPECT_TRUE(fs::path(set.plugins()[0].path).is_absolute()) << set.plugins()[0].path;
}

// The program's own loader, run from a folder holding a plug-in, with that
// folder reachable through an empty LD_LIBRARY_PATH element and by name.
TEST(PluginSafety, TheProgramLoadsOnlyFromItsOwnFolder)
{
    TempDir dir;
    copyPlugin("kmf_coder_zzbadmark.so", dir.path() / "kmf_coder_zzcwd.so");
    const std::string program = MOXEL_TEST_PLUGIN_LIST;
    const std::string output = dir.file("paths.txt");
    const std::string libraryPath = "LD_LIBRARY_PATH=::" + dir.path().string();

    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (chdir(dir.path().c_str()) != 0 || !freopen(output.c_str(), "w", stdout))
            _exit(100);
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        std::vector<char*> env;
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("LD_LIBRARY_PATH=", 0) != 0)
                env.push_back(*e);
        env.push_back(const_cast<char*>(libraryPath.c_str()));
        env.push_back(nullptr);
        execve(program.c_str(), argv, env.data());
        _exit(101);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    const std::string programFolder = fs::path(program).parent_path().string() + "/";
    for (const std::string& path : linesOf(readFileText(output))) {
        EXPECT_EQ(path.rfind(programFolder, 0), 0u) << path;
        EXPECT_EQ(path.find("zzcwd"), std::string::npos) << path;
    }
    EXPECT_FALSE(fs::exists(dir.path() / "zzbad-loaded"))
        << "the library in the current folder was loaded";
}
