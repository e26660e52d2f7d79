// What the program sees of kmf_coder_av.so: the formats it lists and the
// entries it resolves.
#include "AvPlugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace moxel;
using namespace moxel::test;

namespace {

std::vector<std::pair<uint32_t, std::string>> listTypes(KmfGetTypes3Fn types)
{
    std::vector<std::pair<uint32_t, std::string>> list;
    for (int i = 0;; ++i) {
        char name[kCoderTypeNameSize];
        std::memset(name, 'x', sizeof name);
        const uint32_t code = types(i, name);
        if (code == 0)
            break;
        EXPECT_LT(strnlen(name, sizeof name), size_t(kCoderTypeNameSize));
        list.emplace_back(code, std::string(name, strnlen(name, sizeof name)));
    }
    return list;
}

} // namespace

TEST(AvPlugin, ListsItsFormatsWithNames)
{
    const CodecPlugin& p = AvPlugin::get();
    ASSERT_TRUE(p.createVideo && p.createAudio && p.getVideoTypes && p.getAudioTypes &&
                p.configVideo && p.configAudio);
    const auto video = listTypes(p.getVideoTypes);
    const auto audio = listTypes(p.getAudioTypes);
    ASSERT_EQ(video.size(), 3u);
    EXPECT_EQ(video[0].first, fourCC("VP80"));
    EXPECT_EQ(video[1].first, fourCC("H264"));
    EXPECT_EQ(video[2].first, fourCC("XVID"));
    ASSERT_EQ(audio.size(), 2u);
    EXPECT_EQ(audio[0].first, fourCC("MP3 "));
    EXPECT_EQ(audio[1].first, fourCC("AAC "));
    for (const auto& [code, name] : video)
        EXPECT_FALSE(name.empty());
    for (const auto& [code, name] : audio)
        EXPECT_FALSE(name.empty());
    char name[kCoderTypeNameSize] = "";
    EXPECT_EQ(p.getVideoTypes(-1, name), 0u);
    EXPECT_EQ(p.getAudioTypes(99, name), 0u);
}
