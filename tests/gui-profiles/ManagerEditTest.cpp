// Edit: the editor's changes stay, the file follows the name, and names in
// use or unusable get the old name back.
#include "ManagerFixture.h"

#include "app/ProfileListBox.h"
#include "profiles/IniFile.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>

namespace moxel::test {

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

std::string notice(const std::string& problem, const std::string& newName,
                   const std::string& keptName)
{
    return "The new name that you entered for this profile ('" + newName + "')\n" + problem +
           "  Now reverting to the prior name\n('" + keptName + "').";
}

} // namespace

TEST_F(ManagerTest, EditRenamesTheFileAndKeepsTheEditorsChanges)
{
    listProfile("Fast");
    listProfile("Slow");
    open();
    addJob(0);
    select("Fast");
    m_editor.change = [](const std::string& path) {
        setFileName(path, "Faster");
        IniFile file = IniFile::load(path);
        file.setString("kmfencpp", "resizew", "640");
        file.setString("kmfconfig", "vidfmt", "859981650");
        ASSERT_TRUE(file.save());
    };
    m_dialog->editButton()->click();
    EXPECT_EQ(m_editor.calls, 1);
    EXPECT_EQ(names(), (Names{"Faster", "Slow"}));
    EXPECT_EQ(selectedName(), "Faster");
    EXPECT_EQ(lastProfile(), "Faster");
    EXPECT_FALSE(fs::exists(profileFile("Fast")));
    EXPECT_EQ(m_store->filePath(0), profileFile("Faster"));
    EXPECT_EQ(m_store->at(0)->resizeWidth, 640);
    EXPECT_EQ(IniFile::load(profileFile("Faster")).getInt("kmfconfig", "vidfmt", 0), 859981650);
    EXPECT_EQ(jobProfiles(), (std::vector<int>{0}));
    EXPECT_TRUE(m_prompt.messages.empty());

    // A double-click edits as well; an unchanged name keeps the file.
    m_editor.change = nullptr;
    QListWidgetItem* item = m_dialog->list()->item(0);
    emit m_dialog->list()->itemDoubleClicked(item);
    EXPECT_EQ(m_editor.calls, 2);
    EXPECT_TRUE(fs::exists(profileFile("Faster")));
    EXPECT_TRUE(m_prompt.messages.empty());
}

TEST_F(ManagerTest, RenamingToANameInUseRevertsWithANotice)
{
    listProfile("Fast");
    listProfile("Slow");
    open();
    select("Fast");
    m_editor.change = [](const std::string& path) {
        setFileName(path, "Slow");
        IniFile file = IniFile::load(path);
        file.setString("kmfencpp", "resizeh", "360");
        ASSERT_TRUE(file.save());
    };
    m_dialog->editProfile();
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].title, "Notice");
    EXPECT_EQ(m_prompt.messages[0].text, notice("was already in use.", "Slow", "Fast"));
    EXPECT_EQ(names(), (Names{"Fast", "Slow"}));
    // The old name is back in the file; the other changes stay.
    const IniFile file = IniFile::load(profileFile("Fast"));
    EXPECT_EQ(file.getString("kmfencpp", "friendly_name", ""), "Fast");
    EXPECT_EQ(file.getInt("kmfencpp", "resizeh", 0), 360);
    EXPECT_EQ(IniFile::load(profileFile("Slow")).getString("kmfencpp", "friendly_name", ""),
              "Slow");
}

TEST_F(ManagerTest, TwoProfilesSharingANameGetTheNoticeWithoutARename)
{
    listProfile("Same");
    // A second listed file that holds the same name.
    writeFileText(m_profilesFolder + "/other.pf", "[kmfencpp]\r\nfriendly_name=Same\r\n");
    m_index->setString("profile1", "other.pf");
    m_index->setInt("num_profiles", 2);
    open();
    m_dialog->list()->setHighlighted(1);
    m_dialog->editProfile();
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].text, notice("was already in use.", "Same", "Same"));
    EXPECT_TRUE(fs::exists(m_profilesFolder + "/other.pf"));
}

TEST_F(ManagerTest, RenamingToANameThatCannotBeAFileNameRevertsWithANotice)
{
    listProfile("Fast");
    fs::create_directory(m_profilesFolder + "/sub");
    open();
    for (const std::string& bad : Names{"sub/inside", "..", std::string(254, 'x')}) {
        m_prompt.messages.clear();
        select("Fast");
        m_editor.change = [bad](const std::string& path) { setFileName(path, bad); };
        m_dialog->editProfile();
        ASSERT_EQ(m_prompt.messages.size(), 1u) << bad;
        EXPECT_EQ(m_prompt.messages[0].title, "Notice");
        EXPECT_EQ(m_prompt.messages[0].text, notice("is invalid.", bad, "Fast"));
        EXPECT_EQ(m_store->displayName(0), "Fast");
        EXPECT_EQ(m_store->filePath(0), profileFile("Fast"));
        EXPECT_EQ(IniFile::load(profileFile("Fast")).getString("kmfencpp", "friendly_name", ""),
                  "Fast");
    }
    EXPECT_TRUE(fs::is_empty(m_profilesFolder + "/sub"));
}

TEST_F(ManagerTest, RenamingOntoAnUnlistedFileKeepsThatFile)
{
    listProfile("Fast");
    writeFileText(profileFile("Stray"), "someone else's file");
    open();
    select("Fast");
    m_editor.change = [](const std::string& path) { setFileName(path, "Stray"); };
    m_dialog->editProfile();
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].text, notice("is invalid.", "Stray", "Fast"));
    EXPECT_EQ(readFileText(profileFile("Stray")), "someone else's file");
    EXPECT_EQ(m_store->displayName(0), "Fast");
}

TEST_F(ManagerTest, TheEditorLibraryIsLoadedForEachEdit)
{
    listProfile("Fast");
    open(MANAGER_GOOD_EDITOR_DIR);
    select("Fast");
    m_dialog->editProfile();
    m_dialog->editProfile();
    EXPECT_TRUE(m_prompt.messages.empty());
    const std::string text = readFileText(profileFile("Fast"));
    EXPECT_NE(text.find("[marking_editor]"), std::string::npos);
    EXPECT_EQ(IniFile::load(profileFile("Fast")).getString("kmfencpp", "friendly_name", ""),
              "Fast");
    EXPECT_EQ(names(), (Names{"Fast"}));
}

TEST_F(ManagerTest, AMissingOrIncompleteEditorLibraryIsNamedAndNothingChanges)
{
    listProfile("Fast");
    const TempDir empty;
    open(empty.path().string());
    select("Fast");
    const std::string before = readFileText(profileFile("Fast"));
    m_dialog->editProfile();
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].title, "missing file - reinstall KMF encoding tools!");
    EXPECT_EQ(m_prompt.messages[0].text, "DLL not found: libKmfConfigDialog.so");
    EXPECT_EQ(names(), (Names{"Fast"}));
    EXPECT_EQ(readFileText(profileFile("Fast")), before);

    m_dialog.reset();
    open(MANAGER_CORRUPT_EDITOR_DIR);
    select("Fast");
    m_dialog->editProfile();
    ASSERT_EQ(m_prompt.messages.size(), 2u);
    EXPECT_EQ(m_prompt.messages[1].title, "corrupt file - reinstall KMF encoding tools!");
    EXPECT_EQ(m_prompt.messages[1].text, "DLL is corrupt: libKmfConfigDialog.so");
    EXPECT_EQ(readFileText(profileFile("Fast")), before);
}

TEST_F(ManagerTest, AnEditLeavingAMissingFileMissingNeedsNoNotice)
{
    listProfile("Fast");
    m_index->setString("profile1", "error.pf");
    m_index->setInt("num_profiles", 2);
    open();
    ASSERT_EQ(names(), (Names{"Fast", "error"}));
    m_dialog->list()->setHighlighted(1);
    m_dialog->editProfile(); // the editor writes nothing
    EXPECT_TRUE(m_prompt.messages.empty());
    EXPECT_EQ(m_store->filePath(1), m_profilesFolder + "/error.pf");
}

TEST_F(ManagerTest, EnterInTheListEditsOnce)
{
    listProfile("Fast");
    open();
    select("Fast");
    m_dialog->show();
    m_dialog->list()->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(m_dialog->list(), &press);
    EXPECT_EQ(m_editor.calls, 1);
    m_dialog->hide();
}

TEST_F(ManagerTest, EnterOnAFocusedButtonPressesThatButtonNotEdit)
{
    listProfile("Fast");
    open();
    select("Fast");
    m_dialog->show();
    m_dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
    auto* addNew = m_dialog->findChild<QPushButton*>("addNewButton");
    addNew->setFocus(Qt::TabFocusReason);
    QTest::keyClick(addNew, Qt::Key_Return);
    EXPECT_EQ(m_editor.calls, 0);
    EXPECT_EQ(names(), (std::vector<std::string>{"Fast", "new profile"}));
    // Back in the list, Enter is Edit again.
    m_dialog->list()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(m_dialog->list(), Qt::Key_Return);
    EXPECT_EQ(m_editor.calls, 1);
    m_dialog->hide();
}

TEST_F(ManagerTest, TheProgramsEditorLibraryCancelledLeavesTheProfileAsItWas)
{
    listProfile("Fast");
    IniFile file = IniFile::load(profileFile("Fast"));
    file.setString("kmfconfig", "vidfmt", "859981650");
    file.setString("kmfconfig", "audfmt", "541934416");
    ASSERT_TRUE(file.save());
    const std::vector<uint8_t> before = readFileBytes(profileFile("Fast"));
    open(MANAGER_PLUGIN_DIR);
    select("Fast");
    // Closes the editor as its Escape key would, once it is up.
    int closed = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
                ++closed;
            }
        }
    });
    closer.start(20);
    m_dialog->editProfile();
    closer.stop();
    EXPECT_GE(closed, 1);
    EXPECT_TRUE(m_prompt.messages.empty());
    EXPECT_EQ(readFileBytes(profileFile("Fast")), before);
    EXPECT_EQ(names(), (Names{"Fast"}));
}

} // namespace moxel::test
