#include "settings/FolderTree.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace moxel;
namespace fs = std::filesystem;

namespace {

TEST(FolderTree, CreatesThreeLevels)
{
    test::TempDir dir;
    std::string leaf = dir.file("a/b/c");
    ASSERT_TRUE(createFolderTree(leaf));
    EXPECT_TRUE(fs::is_directory(dir.file("a")));
    EXPECT_TRUE(fs::is_directory(dir.file("a/b")));
    EXPECT_TRUE(fs::is_directory(leaf));
    EXPECT_TRUE(createFolderTree(leaf)) << "an existing folder is success";
    EXPECT_TRUE(createFolderTree(dir.file("a/d/")));
    EXPECT_TRUE(fs::is_directory(dir.file("a/d")));
}

TEST(FolderTree, FileInTheWayFails)
{
    test::TempDir dir;
    test::writeFileText(dir.file("f"), "x");
    EXPECT_FALSE(createFolderTree(dir.file("f")));
    EXPECT_FALSE(createFolderTree(dir.file("f/below/deeper")));
    EXPECT_FALSE(createFolderTree(""));
}

} // namespace
