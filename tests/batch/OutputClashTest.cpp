// When two jobs' files are the same file: the names compared as the disk
// sees them, and which uses of a busy job's files hold a job back.
#include "jobs/OutputClash.h"
#include "jobs/BatchJob.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace moxel;

namespace {

namespace fs = std::filesystem;

TEST(OutputClash, NamesOfOneFileCompareEqual)
{
    test::TempDir dir;
    fs::create_directories(dir.file("real/sub"));
    fs::create_directory_symlink(dir.file("real"), dir.file("folderlink"));
    test::writeFileText(dir.file("real/a.kmf"), "x");
    fs::create_symlink(dir.file("real/a.kmf"), dir.file("filelink.kmf"));

    const std::string a = fileIdentity(dir.file("real/a.kmf"));
    EXPECT_EQ(fileIdentity(dir.file("real/sub/../a.kmf")), a);
    EXPECT_EQ(fileIdentity(dir.file("folderlink/a.kmf")), a);
    EXPECT_EQ(fileIdentity(dir.file("filelink.kmf")), a);
    // Not there yet: only the folders can be followed.
    EXPECT_EQ(fileIdentity(dir.file("folderlink/./new.kmf")),
              fileIdentity(dir.file("real/new.kmf")));
    EXPECT_NE(fileIdentity(dir.file("real/b.kmf")), a);
    EXPECT_EQ(fileIdentity(""), "");

    const fs::path before = fs::current_path();
    fs::current_path(dir.file("real"));
    EXPECT_EQ(fileIdentity("a.kmf"), a);
    fs::current_path(before);
}

TEST(OutputClash, WhichUsesOfABusyJobsFilesHoldAJobBack)
{
    test::TempDir dir;
    BatchJob busy;
    busy.workerBlock.sourceCopy = dir.file("in.avi");
    busy.workerBlock.destCopy = dir.file("out.kmf");
    const std::vector<BusyFiles> files = {busyFilesOf(busy)};

    BatchJob next;
    next.sourcePath = dir.file("other.avi");
    next.destPath = dir.file("out.kmf");
    EXPECT_EQ(clashingFile(next, files), fileIdentity(dir.file("out.kmf"))); // same output
    next.destPath = dir.file("in.avi");
    EXPECT_EQ(clashingFile(next, files), fileIdentity(dir.file("in.avi"))); // its source
    next.destPath = dir.file("next.kmf");
    EXPECT_EQ(clashingFile(next, files), "");
    next.sourcePath = dir.file("out.kmf"); // reads what busy writes
    EXPECT_EQ(clashingFile(next, files), fileIdentity(dir.file("out.kmf")));
    next.sourcePath = dir.file("in.avi"); // two readers of one source are fine
    EXPECT_EQ(clashingFile(next, files), "");
    EXPECT_EQ(clashingFile(next, {}), "");

    // A stream's copy file is its output; a stream without one writes none.
    next.destPath = "qz:127.0.0.1:9:header.txt+" + dir.file("out.kmf");
    EXPECT_NE(clashingFile(next, files), "");
    next.destPath = "qz:127.0.0.1:9:header.txt";
    EXPECT_EQ(clashingFile(next, files), "");
}

} // namespace
