#include "profiles/AtomicFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace moxel;
namespace fs = std::filesystem;

namespace {

size_t entriesIn(const fs::path& folder)
{
    return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(AtomicFile, CreatesAndReplaces)
{
    test::TempDir dir;
    std::string path = dir.file("a.txt");
    ASSERT_TRUE(writeFileAtomically(path, "first"));
    EXPECT_EQ(test::readFileText(path), "first");
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(writeFileAtomically(path, std::string_view("x\0y", 3)));
    EXPECT_EQ(test::readFileText(path), std::string("x\0y", 3));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "a replaced file keeps its mode";
    EXPECT_EQ(entriesIn(dir.path()), 1u) << "no temporary left behind";
}

TEST(AtomicFile, ReplacesWhatALinkPointsTo)
{
    test::TempDir dir;
    fs::create_directory(dir.file("real"));
    test::writeFileText(dir.file("real/a.ini"), "old");
    fs::create_symlink(dir.file("real/a.ini"), dir.file("link.ini"));
    ASSERT_TRUE(writeFileAtomically(dir.file("link.ini"), "new"));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(test::readFileText(dir.file("real/a.ini")), "new");
}

TEST(AtomicFile, FailuresReportedAndNothingLeft)
{
    test::TempDir dir;
    EXPECT_FALSE(writeFileAtomically(dir.file("gone/a.txt"), "x")) << "folder missing";
    EXPECT_FALSE(writeFileAtomically("", "x"));

    fs::create_directory(dir.file("in the way"));
    test::writeFileText(dir.file("in the way/inner"), "kept");
    EXPECT_FALSE(writeFileAtomically(dir.file("in the way"), "x")) << "a folder at the path";
    EXPECT_EQ(test::readFileText(dir.file("in the way/inner")), "kept");
    EXPECT_EQ(entriesIn(dir.path()), 1u) << "the temporary is removed";
}

// A write that fails halfway (here: the file size limit, which binds root
// too) leaves the old content complete.
TEST(AtomicFile, FailedWriteKeepsOldFile)
{
    test::TempDir dir;
    std::string path = dir.file("a.txt");
    test::writeFileText(path, "old content");

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool ok = writeFileAtomically(path, std::string(100000, 'n'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(test::readFileText(path), "old content");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

} // namespace
