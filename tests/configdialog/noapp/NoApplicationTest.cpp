// The editor library called by a process that runs no QApplication: it says
// so and leaves the profile alone instead of failing inside Qt.
#include "configdialog/ProfileEditEntry.h"
#include "support/TempDir.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

using namespace moxel;
using namespace moxel::test;

TEST(EditorLibraryWithoutApplication, ReturnsFalseAndLeavesTheFile)
{
    void* handle = dlopen(KMF_CONFIG_DIALOG_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto entry = reinterpret_cast<KmfProfileEditDialogFn>(dlsym(handle, kProfileEditEntry));
    ASSERT_NE(entry, nullptr);
    TempDir dir;
    std::string path = dir.file("Plain.pf");
    writeFileText(path, "[kmfencpp]\r\nfriendly_name=Plain\r\n");
    EXPECT_FALSE(entry(nullptr, path.c_str()));
    EXPECT_EQ(readFileText(path), "[kmfencpp]\r\nfriendly_name=Plain\r\n");
    dlclose(handle);
}
