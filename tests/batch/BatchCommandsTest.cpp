#include "BatchTestSupport.h"

#include "jobs/BatchCommands.h"
#include "jobs/JobPaths.h"

#include <gtest/gtest.h>

using namespace moxel;
using namespace moxel::test;

namespace {

struct CommandsTest : CommandsFixture {
    CommandsTest() : CommandsFixture({"(Default)", "Web", "Phone"}) {}
    std::vector<std::string> destinations() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < list.count(); ++i)
            out.push_back(list.job(i).destPath);
        return out;
    }
    // Adds jobs with their default destinations and the default profile.
    void addPlain(const std::vector<std::string>& paths)
    {
        dialogs.details.push_back({std::nullopt, std::nullopt, 0});
        ASSERT_TRUE(commands.addSources(paths));
        for (int i = list.count() - int(paths.size()); i < list.count(); ++i)
            list.job(i).destPath = defaultDestination(list.job(i).sourcePath);
        list.rebuildView();
    }
    std::vector<RecordingPrompt::Message> oopses() const
    {
        std::vector<RecordingPrompt::Message> out;
        for (const auto& m : prompt.messages)
            if (m.title == "Oops")
                out.push_back(m);
        return out;
    }
};

TEST(AddSources, SharedPrefixTemplateAndChosenFolder)
{
    CommandsTest f;
    f.settings.setString("last_profile", "web");
    f.dialogs.openFiles.push_back({"/media/v/ep1.avi", "/media/v/ep2.avi"});
    f.dialogs.details.push_back({std::nullopt, "/out", 2});
    f.commands.addSourceFiles();

    EXPECT_EQ(f.dialogs.titles.front(), "Add Source Files");
    EXPECT_EQ(f.dialogs.initialFolders.front(), "/opt/moxel");
    ASSERT_EQ(f.dialogs.detailsShown.size(), 1u);
    const EncodingDetails& shown = f.dialogs.detailsShown[0];
    EXPECT_EQ(shown.fileNameTemplate, "ep*.kmf");
    EXPECT_EQ(shown.sourceFolder, "/media/v");
    EXPECT_EQ(shown.folder, "/media/v"); // no last_output_dir yet
    EXPECT_EQ(shown.highlightedProfile, 1);

    EXPECT_EQ(f.destinations(), (std::vector<std::string>{"/out/ep1.kmf", "/out/ep2.kmf"}));
    EXPECT_EQ(f.list.job(0).profileIndex, 2);
    EXPECT_EQ(f.list.job(1).profileIndex, 2);
    EXPECT_TRUE(f.list.job(0).isNew);
    EXPECT_EQ(f.settings.getString("last_profile", ""), "Phone");
    EXPECT_EQ(f.settings.getString("last_output_dir", ""), "/out");
    EXPECT_EQ(f.settings.getString("batch_load_dir", ""), "/media/v");
    EXPECT_EQ(f.view.rowCount(), 2);
    EXPECT_EQ(f.view.cellText(1, BatchColumn::Profile), "Phone");
    EXPECT_FALSE(f.list.refreshSuspended());
}

TEST(AddSources, TemplatesWithAndWithoutStarAndAnEmptyFolder)
{
    CommandsTest f;
    f.dialogs.details.push_back({"final.kmf", "/o/", -1});
    ASSERT_TRUE(f.commands.addSources({"/m/movie.avi"}));
    EXPECT_EQ(f.list.job(0).destPath, "/o/final.kmf");
    EXPECT_EQ(f.list.job(0).profileIndex, 0); // nothing highlighted: the first profile

    f.dialogs.details.push_back({"same.kmf", "/o", 1});
    ASSERT_TRUE(f.commands.addSources({"/m/a.avi", "/m/b.mov"}));
    EXPECT_EQ(f.dialogs.detailsShown[1].fileNameTemplate, "*.kmf");
    EXPECT_EQ(f.dialogs.detailsShown[1].folder, "/o/"); // last_output_dir as typed
    EXPECT_EQ(f.list.job(1).destPath, "/o/same.kmf");
    EXPECT_EQ(f.list.job(2).destPath, "/o/same.kmf");
    // Only the new jobs take the profile.
    EXPECT_EQ(f.list.job(0).profileIndex, 0);
    EXPECT_EQ(f.list.job(1).profileIndex, 1);
    EXPECT_FALSE(f.list.job(0).isNew);

    f.dialogs.details.push_back({"show*.kmf", "", 0});
    ASSERT_TRUE(f.commands.addSources({"/m/ep1.avi", "/m/ep2.avi"}));
    EXPECT_EQ(f.list.job(3).destPath, "/show1.kmf");
    EXPECT_EQ(f.list.job(4).destPath, "/show2.kmf");
}

TEST(AddSources, CancelDropsTheNewJobs)
{
    CommandsTest f;
    f.addPlain({"/m/keep.avi"});
    f.list.job(0).selected = true;
    EXPECT_FALSE(f.commands.addSources({"/m/x.avi", "/m/y.avi"}));
    EXPECT_EQ(f.list.count(), 1);
    EXPECT_EQ(f.list.job(0).sourcePath, "/m/keep.avi");
    EXPECT_FALSE(f.list.refreshSuspended());
    EXPECT_EQ(f.settings.getString("batch_load_dir", "unset"), "/m"); // from the first add only

    f.commands.addSourceFiles(); // the file dialog cancelled
    EXPECT_EQ(f.dialogs.detailsShown.size(), 2u);
    EXPECT_EQ(f.dialogs.initialFolders.back(), "/m");
}

TEST(AddSources, ADestinationTooLongForTheSystemOpensTheDialogAgain)
{
    CommandsTest f;
    f.settings.setString("last_profile", "Web");
    f.dialogs.details.push_back({std::string(300, 'x') + "*.kmf", "/o", 2});
    f.dialogs.details.push_back({std::string(300, 'y') + "*.kmf", std::nullopt, -1});
    f.dialogs.details.push_back({"ok*.kmf", std::nullopt, 2});
    ASSERT_TRUE(f.commands.addSources({"/m/a1.avi"}));
    ASSERT_EQ(f.prompt.messages.size(), 2u);
    EXPECT_EQ(f.prompt.messages[0].title, "Error");
    ASSERT_EQ(f.dialogs.detailsShown.size(), 3u);
    EXPECT_EQ(f.dialogs.detailsShown[0].highlightedProfile, 1); // last_profile
    // What the user typed and chose stays, also a profile other than
    // last_profile and no profile at all.
    EXPECT_EQ(f.dialogs.detailsShown[1].folder, "/o");
    EXPECT_EQ(f.dialogs.detailsShown[1].highlightedProfile, 2);
    EXPECT_EQ(f.dialogs.detailsShown[2].highlightedProfile, -1);
    EXPECT_EQ(f.list.job(0).destPath, "/o/ok.kmf");
    EXPECT_EQ(f.list.job(0).profileIndex, 2);
}

TEST(ChangeProfile, HighlightsAProfileSharedByTheSelection)
{
    CommandsTest f;
    f.addPlain({"/m/a.avi", "/m/b.avi", "/m/c.avi"});
    f.view.select({});
    f.commands.changeProfile();
    ASSERT_EQ(f.oopses().size(), 1u);
    EXPECT_EQ(f.oopses()[0].text, "Please select something first...");

    f.list.job(1).profileIndex = 1;
    f.view.select({0, 1});
    f.dialogs.profiles.push_back(-1); // OK with nothing highlighted
    f.commands.changeProfile();
    EXPECT_EQ(f.dialogs.profileHighlights.back(), -1);
    EXPECT_EQ(f.list.job(1).profileIndex, 0);

    f.view.select({0, 1});
    f.dialogs.profiles.push_back(2);
    f.commands.changeProfile();
    EXPECT_EQ(f.dialogs.profileHighlights.back(), 0);
    EXPECT_EQ(f.list.job(0).profileIndex, 2);
    EXPECT_EQ(f.list.job(2).profileIndex, 0);
    EXPECT_EQ(f.view.cellText(0, BatchColumn::Profile), "Phone");

    f.view.select({0});
    f.commands.changeProfile(); // cancelled
    EXPECT_EQ(f.list.job(0).profileIndex, 2);
    EXPECT_TRUE(f.view.isSelected(0)); // rebuilt with the selection
}

TEST(ChangeOutputFilename, OneSelectedJobOnly)
{
    CommandsTest f;
    f.addPlain({"/m/a.avi", "/m/b.avi"});
    f.view.select({0, 1});
    f.commands.changeOutputFilename();
    ASSERT_EQ(f.oopses().size(), 1u);
    EXPECT_EQ(f.oopses()[0].text, "Please select only one item...");

    f.view.select({1});
    f.dialogs.fileNames.push_back("renamed.kmf");
    f.commands.changeOutputFilename();
    EXPECT_EQ(f.dialogs.fileNamesShown.back(), "b.kmf");
    EXPECT_EQ(f.list.job(1).destPath, "/m/renamed.kmf");

    f.view.select({1});
    f.dialogs.fileNames.push_back(std::string(256, 'n'));
    f.commands.changeOutputFilename();
    EXPECT_EQ(f.list.job(1).destPath, "/m/renamed.kmf");
    EXPECT_EQ(f.prompt.messages.back().title, "Error");
}

TEST(ChangeOutputPath, StartsInTheSharedFolderOrThePreviousOne)
{
    CommandsTest f;
    f.view.select({});
    f.commands.changeOutputPath();
    EXPECT_EQ(f.oopses().size(), 1u); // empty list

    f.addPlain({"/m/a.avi", "/M/b.avi", "/n/c.avi"});
    f.settings.setString("last_output_dir", "/prev/");
    f.view.select({0, 1});
    f.dialogs.folders.push_back("/new");
    f.commands.changeOutputPath();
    EXPECT_EQ(f.dialogs.initialFolders.back(), "/m"); // same folder, letter case aside
    EXPECT_EQ(f.dialogs.titles.back(), "Please select the new output path:");
    EXPECT_EQ(f.destinations(), (std::vector<std::string>{"/new/a.kmf", "/new/b.kmf", "/n/c.kmf"}));
    EXPECT_EQ(f.settings.getString("last_output_dir", ""), "/new/");

    f.view.select({1, 2});
    f.commands.changeOutputPath(); // cancelled
    EXPECT_EQ(f.dialogs.initialFolders.back(), "/new/");
    EXPECT_EQ(f.list.job(2).destPath, "/n/c.kmf");

    f.view.select({});
    f.commands.changeOutputPath();
    EXPECT_EQ(f.oopses().size(), 2u);
}

} // namespace
