#include "SourceTestSupport.h"

#include "pipeline/VideoTables.h"
#include "settings/ProgramFolders.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstring>

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
