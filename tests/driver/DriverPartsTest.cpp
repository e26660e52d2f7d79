// The driver's small parts: what a destination names on disk, and the
// worker's priority levels as nice values.
#include "base/ThreadPriority.h"
#include "jobs/DestinationCheck.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace moxel {
namespace {

TEST(DestinationCheck, StreamsNameOnlyTheirCopyFile)
{
    EXPECT_EQ(destinationFile("/out/a.kmf"), "/out/a.kmf");
    EXPECT_EQ(destinationFile("qz:host:8000:/h/header.txt"), "");
    EXPECT_EQ(destinationFile("qz:host:8000:/h/header.txt+/c/copy.kmf"), "/c/copy.kmf");
    EXPECT_EQ(destinationFile("brox:host:1:hdr+copy+more.kmf"), "copy+more.kmf");
    // A '+' in the host or port part is not the copy's mark.
    EXPECT_EQ(streamCopyFile("qz:ho+st:80:header"), "");
    EXPECT_EQ(streamCopyFile("qz:host"), "");
    EXPECT_EQ(streamCopyFile("qz:host:80"), "");
    EXPECT_EQ(streamCopyFile("qz:host:80:hdr+"), "");
    // The prefixes are compared with their case.
    EXPECT_EQ(destinationFile("QZ:host:80:hdr+copy"), "QZ:host:80:hdr+copy");
    EXPECT_EQ(folderOf("/a/b/c.kmf"), "/a/b");
    EXPECT_EQ(folderOf("c.kmf"), "");
    EXPECT_EQ(folderOf("/c.kmf"), "");
}

TEST(ThreadPriority, LevelsMapToNiceValuesOfTheCallingThreadOnly)
{
    EXPECT_EQ(niceValueForPriority(-1), 5);
    EXPECT_EQ(niceValueForPriority(-2), 10);
    EXPECT_EQ(niceValueForPriority(-15), 19);
    EXPECT_EQ(niceValueForPriority(0), 0);
    EXPECT_EQ(niceValueForPriority(1), -5);
    EXPECT_EQ(niceValueForPriority(15), -20);
    EXPECT_EQ(niceValueForPriority(-1000000), 19);

    const int before = getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
    int inThread = -100;
    std::thread lowered([&] {
        // Lowering is always allowed.
        EXPECT_TRUE(applyThreadPriority(-15));
        inThread = getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
    });
    lowered.join();
    EXPECT_EQ(inThread, 19);
    EXPECT_EQ(getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid))), before);
}

} // namespace
} // namespace moxel
