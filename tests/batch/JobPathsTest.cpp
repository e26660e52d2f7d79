#include "jobs/JobPaths.h"

#include <gtest/gtest.h>

using namespace moxel;

namespace {

TEST(JobPaths, DefaultDestinationReplacesTheFileNamesExtension)
{
    EXPECT_EQ(defaultDestination("/v/ep1.avi"), "/v/ep1.kmf");
    EXPECT_EQ(defaultDestination("/v/clip.final.mpg"), "/v/clip.final.kmf");
    EXPECT_EQ(defaultDestination("/v/noext"), "/v/noext.kmf");
    EXPECT_EQ(defaultDestination("noext"), "noext.kmf");
    // A '.' in a folder name or at the start of the name is no extension.
    EXPECT_EQ(defaultDestination("/v.old/movie"), "/v.old/movie.kmf");
    EXPECT_EQ(defaultDestination("/v/.hidden"), "/v/.hidden.kmf");
}

TEST(JobPaths, InitialPatternIsTheCommonPrefixOfTheNames)
{
    EXPECT_EQ(initialPattern({"/v/movie.kmf"}), "movie.kmf");
    EXPECT_EQ(initialPattern({"/v/ep1.kmf", "/v/ep2.kmf"}), "ep*.kmf");
    EXPECT_EQ(initialPattern({"/v/a.kmf", "/w/b.kmf"}), "*.kmf");
    EXPECT_EQ(initialPattern({"/v/X.KMF"}), "X.KMF");
    EXPECT_EQ(initialPattern({"/v/.kmf"}), ".kmf");
    EXPECT_EQ(initialPattern({"/v/ep1.kmf", "/v/ep10.kmf"}), "ep1*.kmf");
}

TEST(JobPaths, TemplateStarBecomesTheVaryingPart)
{
    EXPECT_EQ(varyingPart("ep1.kmf", "ep*.kmf"), "1");
    EXPECT_EQ(expandTemplate("show*.kmf", "ep1.kmf", "ep*.kmf"), "show1.kmf");
    EXPECT_EQ(expandTemplate("ep*.kmf", "ep2.kmf", "ep*.kmf"), "ep2.kmf");
    EXPECT_EQ(expandTemplate("*-*.kmf", "a.kmf", "*.kmf"), "a-a.kmf");
    EXPECT_EQ(expandTemplate("final.kmf", "movie.kmf", "movie.kmf"), "final.kmf");
    // The shorter name of a pair whose prefix covers it varies by nothing.
    EXPECT_EQ(varyingPart("ep1.kmf", "ep1*.kmf"), "");
    EXPECT_EQ(varyingPart("ep10.kmf", "ep1*.kmf"), "0");
    // The suffix never reaches back into the dropped prefix.
    EXPECT_EQ(varyingPart("aa", "a*a"), "");
    EXPECT_EQ(varyingPart("abc", "*"), "abc");
}

TEST(JobPaths, PartsOfAPath)
{
    EXPECT_EQ(fileNamePart("/a/b/c.kmf"), "c.kmf");
    EXPECT_EQ(fileNamePart("c.kmf"), "c.kmf");
    EXPECT_EQ(folderPart("/a/b/c.kmf"), "/a/b");
    EXPECT_EQ(folderPart("c.kmf"), "");
    EXPECT_EQ(withTrailingSlash("/out"), "/out/");
    EXPECT_EQ(withTrailingSlash("/out/"), "/out/");
    EXPECT_EQ(withTrailingSlash(""), "/");
}

TEST(JobPaths, LimitsOfTheSystem)
{
    EXPECT_EQ(pathLimitProblem("/out/" + std::string(255, 'n')), "");
    EXPECT_NE(pathLimitProblem("/out/" + std::string(256, 'n')), "");
    std::string deep;
    while (deep.size() < kMaxPathChars)
        deep += "/" + std::string(99, 'd');
    EXPECT_NE(pathLimitProblem(deep), "");
    EXPECT_TRUE(equalsIgnoringCase("/Out/A.KMF", "/out/a.kmf"));
    EXPECT_FALSE(equalsIgnoringCase("/out", "/out/"));
}

} // namespace
