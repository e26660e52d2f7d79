// A save killed with SIGKILL midway, for each way the program rewrites its
// files (settings, a profile, the batch list): the file is always
// the old or the new one, and the next save leaves no temporary behind.
#include "CliProcess.h"
#include "SoakSupport.h"

#include "profiles/AtomicFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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

// Only the temporaries of processes that are gone are cleared: a live
// writer's and files that merely look alike stay.
TEST(StaleTemporaryTest, ASaveRemovesOnlyTheTemporariesOfEndedWriters)
{
    const pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    ASSERT_GT(ended, 0);
    ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
    test::TempDir dir;
    const std::string path = dir.file("saved");
    const std::string stale = path + ".tmp" + std::to_string(ended) + "_3";
    const std::string live = path + ".tmp" + std::to_string(getppid()) + "_0";
    const std::string alike = path + ".tmp" + std::to_string(ended) + "_notes";
    const std::string other = dir.file("other.tmp" + std::to_string(ended) + "_0");
    for (const std::string& name : {stale, live, alike, other})
        test::writeFileText(name, "x");

    ASSERT_TRUE(writeFileAtomically(path, "new"));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(alike));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_EQ(test::readFileText(path), "new");
}

INSTANTIATE_TEST_SUITE_P(Writers, SaveKillTest, ::testing::Values("settings", "profile", "queue"),
                         [](const auto& info) { return std::string(info.param); });

} // namespace
} // namespace moxel
