// A save killed with SIGKILL midway, for each way the program rewrites its
// files (settings, a profile, the atomic writer itself): the file is always
// the old or the new one, and the next save leaves no temporary behind.
#include "CliProcess.h"
#include "SoakSupport.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <thread>

namespace moxel {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> folderEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SaveKillTest : public ::testing::TestWithParam<const char*> {
  protected:
    // Runs the saver to its end in the runner folder.
    void saveOnce(const std::string& path, const char* letter)
    {
        const test::CliResult r =
            test::CliProcess(m_runner.path().string(), {GetParam(), path, letter},
                             MOXEL_SOAK_SAVER_PATH)
                .finish();
        ASSERT_EQ(r.exitStatus, 0) << r.err;
    }

    test::TempDir m_dir;    // holds only the saved file
    test::TempDir m_runner; // the saver's output
    test::TempDir m_scratch;
};

TEST_P(SaveKillTest, KilledSavesLeaveTheOldOrTheNewFileAndNoTemporary)
{
    // The two contents the loop alternates between.
    const std::string scratch = m_scratch.file("saved");
    saveOnce(scratch, "b");
    const std::string textB = test::readFileText(scratch);
    fs::remove(scratch);
    saveOnce(scratch, "a");
    const std::string textA = test::readFileText(scratch);
    ASSERT_NE(textA, textB);

    const std::string path = m_dir.file("saved");
    saveOnce(path, "a");
    const int kills = test::soakCount("MOXEL_SOAK_KILL_CASES", 10, 4);
    std::mt19937_64 random(test::soakSeed());
    int leftovers = 0;
    for (int i = 0; i < kills && !HasFailure(); ++i) {
        test::CliProcess saver(m_runner.path().string(), {GetParam(), path, "loop"},
                               MOXEL_SOAK_SAVER_PATH);
        const std::string ready = m_runner.file("cli-stdout.txt");
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (test::readFileText(ready).find("ready") == std::string::npos &&
               std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        saver.signal(SIGKILL);
        const test::CliResult r = saver.finish();
        EXPECT_EQ(r.exitStatus, -1) << "the saver stopped by itself: " << r.err;

        const std::string text = test::readFileText(path);
        EXPECT_TRUE(text == textA || text == textB)
            << "kill " << i << ": " << text.size() << " bytes of neither content";
        leftovers += folderEntries(m_dir.path()).size() > 1;

        // The next save clears what the killed one left.
        saveOnce(path, "a");
        EXPECT_EQ(folderEntries(m_dir.path()), std::vector<std::string>{"saved"}) << "kill " << i;
        EXPECT_EQ(test::readFileText(path), textA);
    }
    RecordProperty("temporaries_left_by_kills", leftovers);
    std::printf("%s: %d kills, %d left a temporary file\n", GetParam(), kills, leftovers);
}

INSTANTIATE_TEST_SUITE_P(Writers, SaveKillTest, ::testing::Values("settings", "profile", "atomic"),
                         [](const auto& info) { return std::string(info.param); });

} // namespace
} // namespace moxel
