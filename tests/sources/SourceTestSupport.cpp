#include "SourceTestSupport.h"

#include "pipeline/VideoTables.h"
#include "settings/ProgramFolders.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace moxel::test {

std::vector<int> counting(int from, int to)
{
    std::vector<int> numbers;
    for (int i = from; i <= to; ++i)
        numbers.push_back(i);
    return numbers;
}

std::string writeProfile(const std::string& path,
                         const std::vector<std::pair<std::string, std::string>>& keys)
{
    std::string text = "[kmfencpp]\nfriendly_name=test\n";
    for (const auto& [key, value] : keys)
        text += key + "=" + value + "\n";
    writeFileText(path, text);
    return path;
}

void ClipTest::SetUp()
{
    initVideoTables();
    av_log_set_level(AV_LOG_FATAL);
}

void ClipTest::TearDown()
{
    programFolders().assumeFpsEnabled = true;
    programFolders().assumedFps = 30.0;
}

std::string ClipTest::clip(const std::string& name, const ClipSpec& spec)
{
    const std::string path = m_dir.file(name);
    std::string error;
    EXPECT_TRUE(writeClip(path, spec, &error)) << name << ": " << error;
    return path;
}

std::string ClipTest::profile(const std::vector<std::pair<std::string, std::string>>& keys)
{
    return writeProfile(m_dir.file("p" + std::to_string(++m_profiles) + ".pf"), keys);
}

bool runFfmpeg(const std::vector<std::string>& args, std::string* error)
{
    std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y", "-nostdin"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv)
        pointers.push_back(a.data());
    pointers.push_back(nullptr);
    char errorPath[] = "/tmp/moxel-ffmpeg-XXXXXX";
    const int errorFile = mkstemp(errorPath);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (errorFile >= 0)
        posix_spawn_file_actions_adddup2(&actions, errorFile, 2);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = -1;
    if (spawned == 0)
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    if (errorFile >= 0) {
        if (error)
            *error = spawned != 0 ? "ffmpeg cannot be started" : readFileText(errorPath);
        ::close(errorFile);
        std::remove(errorPath);
    }
    return spawned == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

DrainResult drainSource(MediaSource& source, int maxPictures)
{
    DrainResult result;
    std::vector<uint8_t> buffer(16384);
    const int frameBytes = source.profile.outChannels * 2;
    auto readAudio = [&]() {
        int length = -1;
        const int got = source.getAudio(buffer.data(), int(buffer.size()), &length);
        if (!got)
            return false;
        if (length % frameBytes != 0)
            result.countsAligned = false;
        result.audioBytes += length;
        for (int i = 0; i + 1 < length; i += 2)
            result.samples.push_back(int16_t(uint16_t(buffer[i] | (buffer[i + 1] << 8))));
        return true;
    };
    if (source.hasVideo) {
        while (int(result.frameNumbers.size()) < maxPictures) {
            const uint8_t* picture = nullptr;
            if (!source.getVideoFrame(&picture) || !picture)
                break;
            result.frameNumbers.push_back(
                readFrameNumber(picture, source.outWidth, source.outHeight));
            if (source.hasAudio)
                readAudio();
        }
    }
    if (source.hasAudio && int(result.frameNumbers.size()) < maxPictures) {
        while (readAudio()) {
        }
    }
    return result;
}

} // namespace moxel::test
