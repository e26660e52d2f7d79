// The manager's file moves and copies never replace a file they must not.
#include "app/ProfileManagerFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace moxel::test {

using gui::copyReplacing;
using gui::copyWithoutReplacing;
using gui::renameWithoutReplacing;

TEST(ManagerFiles, RenameAndCopyRefuseAnExistingTarget)
{
    const TempDir dir;
    const std::string a = dir.file("a.pf");
    const std::string b = dir.file("b.pf");
    writeFileText(a, "A");
    writeFileText(b, "B");
    EXPECT_FALSE(renameWithoutReplacing(a, b));
    EXPECT_FALSE(copyWithoutReplacing(a, b));
    EXPECT_EQ(readFileText(a), "A");
    EXPECT_EQ(readFileText(b), "B");
    EXPECT_TRUE(renameWithoutReplacing(a, a));
    EXPECT_FALSE(renameWithoutReplacing(dir.file("missing"), dir.file("c.pf")));

    EXPECT_TRUE(copyWithoutReplacing(a, dir.file("c.pf")));
    EXPECT_EQ(readFileText(dir.file("c.pf")), "A");
    EXPECT_TRUE(renameWithoutReplacing(a, dir.file("d.pf")));
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_EQ(readFileText(dir.file("d.pf")), "A");
    // Only the copied files are left: no temporary file stays behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              3);
}

TEST(ManagerFiles, CopyReplacingOverwritesAndCopiesOntoItself)
{
    const TempDir dir;
    const std::string a = dir.file("a.pf");
    const std::string b = dir.file("b.pf");
    writeFileText(a, "A\r\n[codec]\r\nx=1\r\n");
    writeFileText(b, "B");
    EXPECT_TRUE(copyReplacing(a, b));
    EXPECT_EQ(readFileText(b), "A\r\n[codec]\r\nx=1\r\n");
    EXPECT_TRUE(copyReplacing(a, a));
    EXPECT_EQ(readFileText(a), "A\r\n[codec]\r\nx=1\r\n");
    EXPECT_FALSE(copyReplacing(dir.file("missing"), b));
    EXPECT_FALSE(copyReplacing(a, dir.file("no-folder/b.pf")));
}

} // namespace moxel::test
