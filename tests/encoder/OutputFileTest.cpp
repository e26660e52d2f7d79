// How a job's file reaches its destination: through a temporary beside it
// that only keep() puts in the destination's place, or directly for pipes,
// devices and open descriptors; and what each refuses before anything is
// created.
#include "encoder/OutputFile.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

using namespace moxel;
using namespace moxel::test;
namespace fs = std::filesystem;

namespace {

bool writeText(const OutputFile& file, const std::string& text)
{
    const OutputFile::WriteGuard guard(file);
    return ::write(file.fd(), text.data(), text.size()) == ssize_t(text.size());
}

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t modeOf(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

} // namespace

TEST(OutputFile, TheDestinationChangesOnlyWhenTheFileIsKept)
{
    TempDir dir;
    const std::string dest = dir.file("out.kmf");
    writeFileText(dest, "old");
    ASSERT_EQ(::chmod(dest.c_str(), 0640), 0);

    OutputFile file;
    ASSERT_EQ(file.open(dest), nullptr);
    EXPECT_TRUE(file.seekable());
    const fs::path temporary = file.writingPath();
    EXPECT_EQ(temporary.parent_path(), dir.path());
    EXPECT_EQ(temporary.filename().string().rfind(".out.kmf.", 0), 0u) << temporary;
    ASSERT_TRUE(writeText(file, "new"));
    EXPECT_EQ(readFileText(dest), "old");
    EXPECT_EQ(file.keep(), nullptr);
    EXPECT_EQ(readFileText(dest), "new");
    EXPECT_EQ(modeOf(dest), 0640u); // a replaced file keeps its permissions
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"out.kmf"});

    ASSERT_EQ(file.open(dest), nullptr);
    ASSERT_TRUE(writeText(file, "unwanted"));
    file.discard();
    EXPECT_EQ(readFileText(dest), "new");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"out.kmf"});

    // A new file gets what a plain create gives: 0666 less the umask.
    const mode_t mask = ::umask(022);
    {
        OutputFile fresh;
        ASSERT_EQ(fresh.open(dir.file("fresh.kmf")), nullptr);
        EXPECT_EQ(fresh.keep(), nullptr);
    }
    ::umask(mask);
    EXPECT_EQ(modeOf(dir.file("fresh.kmf")), 0644u);

    // One that goes out of scope unkept is removed.
    {
        OutputFile dropped;
        ASSERT_EQ(dropped.open(dir.file("dropped.kmf")), nullptr);
    }
    EXPECT_FALSE(fs::exists(dir.file("dropped.kmf")));
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"fresh.kmf", "out.kmf"}));
}

TEST(OutputFile, LinksTwoWritersAndAFailedRename)
{
    TempDir dir;
    // Through a symbolic link the file it points at is replaced; the link stays.
    fs::create_directory(dir.file("real"));
    writeFileText(dir.file("real/target.kmf"), "old");
    fs::create_symlink(dir.file("real/target.kmf"), dir.file("link.kmf"));
    OutputFile linked;
    ASSERT_EQ(linked.open(dir.file("link.kmf")), nullptr);
    EXPECT_EQ(fs::path(linked.writingPath()).parent_path(), dir.path() / "real");
    ASSERT_TRUE(writeText(linked, "new"));
    EXPECT_EQ(linked.keep(), nullptr);
    EXPECT_TRUE(fs::is_symlink(dir.file("link.kmf")));
    EXPECT_EQ(readFileText(dir.file("real/target.kmf")), "new");

    // Two writers of one destination: each writes its own file and the one
    // kept last is what the destination holds, whole.
    const std::string dest = dir.file("shared.kmf");
    OutputFile first, second;
    ASSERT_EQ(first.open(dest), nullptr);
    ASSERT_EQ(second.open(dest), nullptr);
    EXPECT_NE(first.writingPath(), second.writingPath());
    ASSERT_TRUE(writeText(first, "first writer"));
    ASSERT_TRUE(writeText(second, "second"));
    EXPECT_EQ(second.keep(), nullptr);
    EXPECT_EQ(first.keep(), nullptr);
    EXPECT_EQ(readFileText(dest), "first writer");

    // A rename that cannot happen (a full folder took the name meanwhile) is
    // reported, and the temporary goes.
    OutputFile blocked;
    const std::string taken = dir.file("taken.kmf");
    ASSERT_EQ(blocked.open(taken), nullptr);
    const std::string temporary = blocked.writingPath();
    fs::create_directory(taken);
    writeFileText(taken + "/inside", "x");
    EXPECT_STREQ(blocked.keep(), "close: error renaming the finished file to the output file");
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(readFileText(taken + "/inside"), "x");
}

TEST(OutputFile, PlacesThatCannotBeWrittenAreRefusedBeforeAnythingIsCreated)
{
    TempDir dir;
    OutputFile file;
    EXPECT_EQ(outputKindOf(dir.path().string()), OutputKind::Folder);
    EXPECT_STREQ(file.open(dir.path().string()), "openOutput: the output file is a folder");
    EXPECT_STREQ(file.open(dir.file("missing/out.kmf")), "openOutput: error opening output file");
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(namesIn(dir.path()).empty());

    // A read-only folder: a read-only mount, which holds for root too.
    const fs::path readOnly = dir.file("ro");
    fs::create_directory(readOnly);
    if (::mount("moxel-test", readOnly.c_str(), "tmpfs", MS_RDONLY, "size=16k") != 0)
        GTEST_SKIP() << "no read-only tmpfs can be mounted here";
    EXPECT_STREQ(file.open((readOnly / "out.kmf").string()),
                 "openOutput: error opening output file");
    EXPECT_TRUE(namesIn(readOnly).empty());
    EXPECT_EQ(::umount2(readOnly.c_str(), MNT_DETACH), 0);
}

TEST(OutputFile, PipesDevicesAndDescriptorsAreWrittenDirectly)
{
    TempDir dir;
    EXPECT_EQ(outputKindOf("/dev/null"), OutputKind::Direct);
    EXPECT_EQ(outputKindOf("/dev/stdout"), OutputKind::Direct);
    EXPECT_EQ(outputKindOf(dir.file("new.kmf")), OutputKind::File);
    OutputFile device;
    ASSERT_EQ(device.open("/dev/null"), nullptr);
    EXPECT_FALSE(device.seekable());
    EXPECT_EQ(device.writingPath(), "/dev/null");
    EXPECT_EQ(device.keep(), nullptr);

    const std::string fifo = dir.file("pipe.kmf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(outputKindOf(fifo), OutputKind::Direct);
    // Nobody reads: the open gives up instead of waiting for ever.
    OutputFile unread;
    EXPECT_STREQ(unread.open(fifo, 50), "openOutput: no program reads the output pipe");

    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    OutputFile piped;
    ASSERT_EQ(piped.open(fifo, 0), nullptr);
    EXPECT_FALSE(piped.seekable());
    ASSERT_TRUE(writeText(piped, "frames"));
    char got[16] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 6);
    EXPECT_EQ(std::string(got), "frames");
    // The reader goes away: the next write fails with EPIPE, and the process
    // (whose SIGPIPE is not ignored here) lives on.
    ::close(reader);
    EXPECT_FALSE(writeText(piped, "more"));
    EXPECT_EQ(errno, EPIPE);
    EXPECT_EQ(piped.keep(), nullptr);
    EXPECT_TRUE(fs::exists(fifo));

    // "/dev/fd/N" is the open descriptor itself, not a new open of it.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    OutputFile described;
    ASSERT_EQ(described.open("/dev/fd/" + std::to_string(ends[1])), nullptr);
    EXPECT_NE(described.fd(), ends[1]);
    ::close(ends[1]);
    ASSERT_TRUE(writeText(described, "kmf"));
    EXPECT_EQ(described.keep(), nullptr);
    EXPECT_EQ(::read(ends[0], got, sizeof got), 3);
    EXPECT_EQ(::read(ends[0], got, sizeof got), 0); // our copy is closed: the end
    ::close(ends[0]);
}
