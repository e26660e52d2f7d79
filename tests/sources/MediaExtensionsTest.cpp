// The extensions the Add Source Files filter offers.
#include "sources/MediaExtensions.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace moxel;

TEST(MediaExtensions, EveryCommonContainerOnceInOrderAndPlain)
{
    const std::vector<std::string> extensions = readableExtensions();
    const auto has = [&](const char* e) {
        return std::binary_search(extensions.begin(), extensions.end(), std::string(e));
    };
    for (const char* common : {"avi", "mkv", "mov", "mp4", "mpeg", "mpg", "ts", "webm"})
        EXPECT_TRUE(has(common)) << common;
    // Named by the libraries' own demuxers.
    for (const char* named : {"flv", "wav", "m4a", "3gp", "y4m"})
        EXPECT_TRUE(has(named)) << named;
    EXPECT_TRUE(std::is_sorted(extensions.begin(), extensions.end()));
    EXPECT_EQ(std::adjacent_find(extensions.begin(), extensions.end()), extensions.end());
    for (const std::string& e : extensions)
        EXPECT_EQ(e.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_-+"), std::string::npos)
            << e;

    const std::string pattern = readableExtensionPattern();
    EXPECT_EQ(pattern.rfind("*.", 0), 0u);
    EXPECT_NE(pattern.find(";*.mkv;"), std::string::npos);
    EXPECT_EQ(std::count(pattern.begin(), pattern.end(), ';') + 1,
              std::ptrdiff_t(extensions.size()));
}
