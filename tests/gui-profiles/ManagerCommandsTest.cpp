// The profile manager's commands on the store, the profile files, the jobs
// and the remembered settings.
#include "ManagerFixture.h"

#include "app/ProfileListBox.h"
#include "profiles/IniFile.h"
#include "profiles/KmfConfig.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>

#include <filesystem>

namespace moxel::test {

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const char* const kDeleteQuestion =
    "Are you sure you want to delete this profile?\nThis action can not be undone.";

} // namespace

TEST_F(ManagerTest, AddNewThreeTimesNumbersTheNamesAndSelectsEachNewProfile)
{
    open();
    EXPECT_EQ(names(), (Names{"(Default)"}));
    EXPECT_EQ(selectedName(), "(Default)");
    for (int i = 0; i < 3; ++i)
        m_dialog->findChild<QPushButton*>("addNewButton")->click();
    EXPECT_EQ(names(), (Names{"(Default)", "new profile", "new profile (2)", "new profile (3)"}));
    EXPECT_EQ(selectedName(), "new profile (3)");
    EXPECT_EQ(lastProfile(), "new profile (3)");
    for (const char* name : {"new profile", "new profile (2)", "new profile (3)"})
        EXPECT_TRUE(fs::is_regular_file(profileFile(name))) << name;
    // A new profile can encode at once: it has the formats a first start
    // gives (the built-in ones, with no plug-in folder).
    EXPECT_EQ(readFileText(profileFile("new profile")),
              "[kmfencpp]\r\nout_srate=44100\r\nout_channels=2\r\nsizefix=1\r\ndeinterlace=0\r\n"
              "filteringresize=1\r\ndoresize=0\r\nresizew=320\r\nresizeh=240\r\ncrop_l=0\r\n"
              "crop_t=0\r\ncrop_r=0\r\ncrop_b=0\r\noutfruse=0\r\nlowpass=0\r\n"
              "friendly_name=new profile\r\naudioscale=1.000\r\noutfror=30.0000000\r\n"
              "[kmfconfig]\r\naudfmt=541934416\r\nvidfmt=859981650\r\nminsync=0\r\nmaxsync=120\r\n"
              "audiosendahead=0\r\nhdrwrite=0\r\nhdrtoc=1024\r\nmeta=\r\n");
    EXPECT_TRUE(m_prompt.messages.empty());
}

TEST_F(ManagerTest, AddNewSkipsANameWhoseFileLiesUnlistedInTheFolder)
{
    writeFileText(profileFile("new profile"), "not a listed profile");
    open();
    m_dialog->addNew();
    // The free name's file is taken: nothing is created, nothing is said.
    EXPECT_EQ(names(), (Names{"(Default)"}));
    EXPECT_EQ(readFileText(profileFile("new profile")), "not a listed profile");
    EXPECT_TRUE(m_prompt.messages.empty());
}

TEST_F(ManagerTest, MakeACopyTwiceKeepsTheCodecChoiceAndTheCodecSettings)
{
    listProfile("Fast");
    {
        KmfConfig config(profileFile("Fast"));
        config.videoFormat = 0x30385056; // "VP80"
        config.maxSyncInterval = 77;
        config.release();
        IniFile file = IniFile::load(profileFile("Fast"));
        file.setString("kmf_coder_av", "video_bitrate", "1234");
        file.setString("kmfencpp", "resizew", "512");
        ASSERT_TRUE(file.save());
    }
    open();
    select("Fast");
    m_dialog->makeCopy();
    m_dialog->makeCopy();
    EXPECT_EQ(names(), (Names{"Fast", "copy of Fast", "copy (2) of Fast"}));
    // The source stays selected.
    EXPECT_EQ(selectedName(), "Fast");
    for (const char* name : {"copy of Fast", "copy (2) of Fast"}) {
        const IniFile copy = IniFile::load(profileFile(name));
        EXPECT_EQ(copy.getString("kmfencpp", "friendly_name", ""), name);
        EXPECT_EQ(copy.getInt("kmfencpp", "resizew", 0), 512);
        EXPECT_EQ(copy.getInt("kmfconfig", "vidfmt", 0), 0x30385056);
        EXPECT_EQ(copy.getInt("kmfconfig", "maxsync", 0), 77);
        EXPECT_EQ(copy.getString("kmf_coder_av", "video_bitrate", ""), "1234");
    }
    EXPECT_EQ(IniFile::load(profileFile("Fast")).getString("kmfencpp", "friendly_name", ""),
              "Fast");
}

TEST_F(ManagerTest, CommandsWithoutASelectionAskForOne)
{
    listProfile("A");
    listProfile("B");
    open();
    m_dialog->list()->setHighlighted(-1);
    const int before = m_store->count();
    m_dialog->makeCopy();
    m_dialog->deleteProfile();
    m_dialog->editProfile();
    m_dialog->moveProfile(1);
    m_dialog->exportProfile();
    ASSERT_EQ(m_prompt.messages.size(), 5u);
    for (const ShownMessage& message : m_prompt.messages)
        EXPECT_EQ(message.title, "Oops");
    EXPECT_EQ(m_prompt.messages[0].text,
              "Please select a profile to make a copy of, and then try again.");
    EXPECT_EQ(m_prompt.messages[1].text, "Please select a profile to delete, and then try again.");
    EXPECT_EQ(m_prompt.messages[2].text, "Please select a profile to edit, and then try again.");
    EXPECT_EQ(m_prompt.messages[3].text, "Please select a profile, and then try again.");
    EXPECT_EQ(m_prompt.messages[4].text, "Please select a profile to export, and then try again.");
    EXPECT_EQ(m_store->count(), before);
    EXPECT_EQ(m_editor.calls, 0);
    EXPECT_TRUE(m_chooser.opened.empty());
}

TEST_F(ManagerTest, DeleteRenumbersTheJobsAndRemovesTheFile)
{
    for (const char* name : {"P0", "P1", "P2", "P3"})
        listProfile(name);
    open();
    addJob(1);
    addJob(2);
    addJob(3);
    addJob(2);
    select("P2");
    m_prompt.answers = {true};
    m_dialog->deleteProfile();
    ASSERT_EQ(m_prompt.questions.size(), 1u);
    EXPECT_EQ(m_prompt.questions[0].title, "Confirm Delete");
    EXPECT_EQ(m_prompt.questions[0].text,
              "There are currently 2 output files using this encoding profile;\n"
              "if you delete the profile, they will all be remapped to the first profile in the "
              "list.\n\n" +
                  std::string(kDeleteQuestion));
    EXPECT_EQ(jobProfiles(), (std::vector<int>{1, 0, 2, 0}));
    EXPECT_EQ(names(), (Names{"P0", "P1", "P3"}));
    EXPECT_FALSE(fs::exists(profileFile("P2")));
    // The selection stays at the same position.
    EXPECT_EQ(selectedName(), "P3");

    // The last profile: the new last one is selected.
    m_prompt.answers = {true};
    m_dialog->deleteProfile();
    EXPECT_EQ(m_prompt.questions.back().text.substr(0, 25), "There are currently 1 out");
    EXPECT_EQ(jobProfiles(), (std::vector<int>{1, 0, 0, 0}));
    EXPECT_EQ(names(), (Names{"P0", "P1"}));
    EXPECT_EQ(selectedName(), "P1");
    EXPECT_EQ(lastProfile(), "P1");
}

TEST_F(ManagerTest, DeleteAnsweredNoAndDeleteOfTheOnlyProfileChangeNothing)
{
    listProfile("P0");
    listProfile("P1");
    open();
    addJob(0);
    select("P1");
    m_dialog->deleteProfile(); // the script answers No
    // No job uses it: the question is the second sentence alone.
    ASSERT_EQ(m_prompt.questions.size(), 1u);
    EXPECT_EQ(m_prompt.questions[0].text, kDeleteQuestion);
    EXPECT_EQ(names(), (Names{"P0", "P1"}));
    EXPECT_TRUE(fs::exists(profileFile("P1")));

    m_prompt.answers = {true};
    m_dialog->deleteProfile();
    EXPECT_EQ(names(), (Names{"P0"}));
    m_dialog->deleteProfile();
    ASSERT_FALSE(m_prompt.messages.empty());
    EXPECT_EQ(m_prompt.messages.back().title, "muffin");
    EXPECT_EQ(m_prompt.messages.back().text,
              "Unable to delete this profile; at least one profile\nmust exist at all times.");
    EXPECT_EQ(names(), (Names{"P0"}));
    EXPECT_TRUE(fs::exists(profileFile("P0")));
}

TEST_F(ManagerTest, MovingAProfileTakesItsJobsAlong)
{
    for (const char* name : {"P0", "P1", "P2"})
        listProfile(name);
    open();
    addJob(0);
    addJob(1);
    addJob(2);
    select("P0");
    m_dialog->findChild<QPushButton*>("moveDownButton")->click();
    EXPECT_EQ(names(), (Names{"P1", "P0", "P2"}));
    EXPECT_EQ(jobProfiles(), (std::vector<int>{1, 0, 2}));
    EXPECT_EQ(selectedName(), "P0");
    // Every job still names the profile it had.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(m_store->displayName(m_jobs->job(i).profileIndex), "P" + std::to_string(i));

    m_dialog->moveProfile(1);
    m_dialog->moveProfile(1); // already last: nothing
    EXPECT_EQ(names(), (Names{"P1", "P2", "P0"}));
    EXPECT_EQ(jobProfiles(), (std::vector<int>{2, 0, 1}));
    m_dialog->findChild<QPushButton*>("moveUpButton")->click();
    EXPECT_EQ(names(), (Names{"P1", "P0", "P2"}));
    EXPECT_EQ(jobProfiles(), (std::vector<int>{1, 0, 2}));
}

TEST_F(ManagerTest, ImportOfThreeFilesAddsThemInOrderAndSelectsTheLast)
{
    listProfile("Fast");
    open();
    const std::string outside = m_dir.file("outside");
    fs::create_directory(outside);
    writeFileText(outside + "/a.pf", "[kmfencpp]\r\nfriendly_name=Fast\r\nresizew=400\r\n"
                                     "[kmfconfig]\r\nvidfmt=859981650\r\n");
    writeFileText(outside + "/b.pf", "[kmfencpp]\r\nout_srate=22050\r\n");
    writeFileText(outside + "/c.pf", "[kmfencpp]\r\nfriendly_name=Slow\r\n");
    m_chooser.importAnswers = {{outside + "/a.pf", outside + "/b.pf", outside + "/c.pf"}};
    m_dialog->importProfiles();

    // The first import opens in the home folder.
    ASSERT_EQ(m_chooser.opened.size(), 1u);
    EXPECT_EQ(m_chooser.opened[0], QDir::homePath().toStdString());
    EXPECT_EQ(names(), (Names{"Fast", "Fast (2)", "imported profile", "Slow"}));
    EXPECT_EQ(selectedName(), "Slow");
    // The new name and the processing options; the codec choice comes along,
    // and a format the file lacks is the default one.
    const IniFile imported = IniFile::load(profileFile("Fast (2)"));
    EXPECT_EQ(imported.getString("kmfencpp", "friendly_name", ""), "Fast (2)");
    EXPECT_EQ(imported.getInt("kmfencpp", "resizew", 0), 400);
    EXPECT_EQ(imported.getInt("kmfconfig", "vidfmt", 0), 859981650);
    EXPECT_EQ(imported.getInt("kmfconfig", "audfmt", 0), 541934416);
    EXPECT_EQ(IniFile::load(profileFile("imported profile")).getInt("kmfencpp", "out_srate", 0),
              22050);
    // The sources are untouched.
    EXPECT_EQ(readFileText(outside + "/b.pf"), "[kmfencpp]\r\nout_srate=22050\r\n");
    EXPECT_EQ(m_settings->getString("last_profile_import_dir", ""), outside);

    // The next import starts where the last one was.
    m_dialog->importProfiles(); // cancelled
    EXPECT_EQ(m_chooser.opened.back(), outside);
    EXPECT_EQ(m_store->count(), 4);
}

TEST_F(ManagerTest, ImportOfAMissingFileOrOfANameThatCannotBeAFileName)
{
    open();
    const std::string slashed = m_dir.file("slashed.pf");
    writeFileText(slashed, "[kmfencpp]\r\nfriendly_name=a/b\r\n");
    for (const char* name : {".", ".."})
        writeFileText(m_dir.file(std::string("dots") + name),
                      "[kmfencpp]\r\nfriendly_name=" + std::string(name) + "\r\n");
    m_chooser.importAnswers = {
        {m_dir.file("does-not-exist.pf"), slashed, m_dir.file("dots."), m_dir.file("dots..")}};
    m_dialog->importProfiles();
    EXPECT_EQ(names(), (Names{"(Default)", "imported profile", "imported profile (2)",
                              "imported profile (3)", "imported profile (4)"}));
    // Nothing went outside the Profiles folder.
    EXPECT_FALSE(fs::exists(m_profilesFolder + "/a"));
    EXPECT_FALSE(fs::exists(m_dir.file("a")));
}

TEST_F(ManagerTest, ImportKeepsTheCodecChoiceAndTheCodecSectionsOfTheFile)
{
    open();
    const std::string outside = m_dir.file("outside");
    fs::create_directory(outside);
    // A profile as another installation exports it: every section counts.
    const std::string exported = "[kmfencpp]\r\nfriendly_name=Web\r\nresizew=640\r\n"
                                 "future_key=kept\r\n"
                                 "[kmfconfig]\r\naudfmt=540233805\r\nvidfmt=808996950\r\n"
                                 "maxsync=77\r\nmeta=\"A title\"\r\n"
                                 "[kmf_coder_av]\r\nvideo_bitrate=1234\r\nspeed=3\r\n";
    writeFileText(outside + "/web.pf", exported);
    // Anything else chosen under "All files" gives its processing options
    // (here none) and the default formats, and is not copied.
    writeFileText(outside + "/notes.txt", "not a profile\r\nvidfmt=1\r\n");
    m_chooser.importAnswers = {
        {outside + "/web.pf", outside + "/notes.txt", outside + "/typed but missing.pf"}};
    m_dialog->importProfiles();
    EXPECT_EQ(names(), (Names{"(Default)", "Web", "imported profile", "imported profile (2)"}));

    const IniFile web = IniFile::load(profileFile("Web"));
    EXPECT_EQ(web.getString("kmfencpp", "friendly_name", ""), "Web");
    EXPECT_EQ(web.getInt("kmfencpp", "resizew", 0), 640);
    EXPECT_EQ(web.getInt("kmfencpp", "out_srate", 0), 44100); // written out in full
    EXPECT_EQ(web.getString("kmfencpp", "future_key", ""), "kept");
    EXPECT_EQ(web.getInt("kmfconfig", "audfmt", 0), 540233805);
    EXPECT_EQ(web.getInt("kmfconfig", "vidfmt", 0), 808996950);
    EXPECT_EQ(web.getInt("kmfconfig", "maxsync", 0), 77);
    EXPECT_EQ(web.getString("kmfconfig", "meta", ""), "\"A title\"");
    EXPECT_EQ(web.getString("kmf_coder_av", "video_bitrate", ""), "1234");
    EXPECT_EQ(web.getString("kmf_coder_av", "speed", ""), "3");
    EXPECT_EQ(readFileText(outside + "/web.pf"), exported);

    for (const char* name : {"imported profile", "imported profile (2)"}) {
        const IniFile plain = IniFile::load(profileFile(name));
        EXPECT_EQ(plain.getString("kmfencpp", "friendly_name", ""), name);
        EXPECT_EQ(plain.getInt("kmfencpp", "resizew", 0), 320) << name;
        EXPECT_EQ(plain.getInt("kmfconfig", "vidfmt", 0), 859981650) << name;
        EXPECT_EQ(plain.getInt("kmfconfig", "audfmt", 0), 541934416) << name;
    }
    EXPECT_EQ(readFileText(profileFile("imported profile")).find("not a profile"),
              std::string::npos);
}

TEST_F(ManagerTest, ExportOverAnExistingFileAnsweredNoThenYes)
{
    listProfile("Fast");
    IniFile file = IniFile::load(profileFile("Fast"));
    file.setString("kmf_coder_av", "speed", "3");
    ASSERT_TRUE(file.save());
    open();
    select("Fast");
    const std::string folder = m_dir.file("exports");
    fs::create_directory(folder);
    const std::string target = folder + "/old.pf";
    writeFileText(target, "old content");
    m_chooser.exportAnswers = {target, target};
    m_prompt.answers = {false, true};
    m_dialog->exportProfile();

    ASSERT_EQ(m_prompt.questions.size(), 2u);
    EXPECT_EQ(m_prompt.questions[0].title, "Overwrite existing file?");
    EXPECT_EQ(m_prompt.questions[0].text, "This file already exists.  Overwrite it?");
    // No: the dialog again, in the chosen file's folder with its name.
    ASSERT_EQ(m_chooser.opened.size(), 2u);
    EXPECT_EQ(m_chooser.opened[0], QDir::homePath().toStdString() + "|");
    EXPECT_EQ(m_chooser.opened[1], folder + "|old.pf");
    // Yes: an exact copy with every section.
    EXPECT_EQ(readFileBytes(target), readFileBytes(profileFile("Fast")));
    EXPECT_EQ(m_settings->getString("last_profile_export_dir", ""), folder);

    // A new file is written without a question.
    m_chooser.exportAnswers = {folder + "/new.pf"};
    m_dialog->exportProfile();
    EXPECT_EQ(m_prompt.questions.size(), 2u);
    EXPECT_EQ(m_chooser.opened.back(), folder + "|");
    EXPECT_EQ(readFileBytes(folder + "/new.pf"), readFileBytes(profileFile("Fast")));
    EXPECT_TRUE(m_prompt.messages.empty());
}

TEST_F(ManagerTest, AFailedExportIsReported)
{
    open();
    m_chooser.exportAnswers = {m_dir.file("no-such-folder/x.pf")};
    m_dialog->exportProfile();
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].title, "Error");
}

TEST_F(ManagerTest, OpensOnTheListAndTabsDownTheButtonsInTheirOrder)
{
    open();
    m_dialog->show();
    m_dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
    const Names order = {"profileList",  "addNewButton", "copyButton",     "deleteButton",
                         "editButton",   "moveUpButton", "moveDownButton", "importButton",
                         "exportButton", "exitButton",   "profileList"};
    Names forward{QApplication::focusWidget()->objectName().toStdString()};
    for (size_t i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        forward.push_back(QApplication::focusWidget()->objectName().toStdString());
    }
    EXPECT_EQ(forward, order);
    m_dialog->hide();
}

TEST_F(ManagerTest, ClosingRemembersTheSelectionAndWritesTheIndex)
{
    listProfile("P0");
    listProfile("P1");
    m_settings->setString("last_profile", "p1"); // letter case does not count
    open();
    EXPECT_EQ(selectedName(), "P1");
    m_dialog->moveProfile(-1);
    select("P0");
    m_dialog->findChild<QPushButton*>("exitButton")->click();
    EXPECT_EQ(m_dialog->result(), gui::ProfileManagerDialog::kExitId);
    EXPECT_EQ(lastProfile(), "P0");
    SettingsFile written(m_profilesFolder + "/index.txt");
    EXPECT_EQ(written.getInt("num_profiles", 0), 2);
    EXPECT_EQ(written.getString("profile0", ""), "P1.pf");
    EXPECT_EQ(written.getString("profile1", ""), "P0.pf");

    // The close box and Escape end with 2; nothing selected remembers
    // position 0.
    m_dialog->list()->setHighlighted(-1);
    m_dialog->reject();
    EXPECT_EQ(m_dialog->result(), gui::ProfileManagerDialog::kCloseBoxId);
    EXPECT_EQ(lastProfile(), "P1");
}

} // namespace moxel::test
