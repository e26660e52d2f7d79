// Details of the program's windows: titles without the program's name
// added, where the keyboard starts, what the open-files dialogs offer and
// take, and the profile kept when Encoding Details opens again.
#include "GuiTestSupport.h"

#include "app/BatchListWidget.h"
#include "app/DesktopProgram.h"
#include "app/EncodingDetailsDialog.h"
#include "app/MainWindow.h"
#include "app/ProfileListBox.h"
#include "app/ProfileManagerFileChooser.h"
#include "jobs/BatchCommands.h"
#include "jobs/BatchList.h"
#include "settings/SettingsFile.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <filesystem>

using namespace moxel;
using namespace moxel::gui;
using moxel::test::GuiTest;
using moxel::test::WindowHandler;

namespace {

class DialogDetailsTest : public GuiTest {};

// Types text into an open file dialog's file name field and presses Enter,
// as the user does: Enter reaches the Open button only while the dialog
// keeps it enabled.
void typeFileName(QFileDialog& dialog, const QString& text)
{
    auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// A dialog that Enter should have closed is failed and closed.
void expectClosed(QFileDialog& dialog)
{
    if (dialog.isVisible()) {
        ADD_FAILURE() << "Enter left " << dialog.windowTitle().toStdString() << " open";
        dialog.reject();
    }
}

bool hasPattern(const QString& filter, const QString& pattern)
{
    const qsizetype open = filter.lastIndexOf('(');
    return filter.mid(open + 1).chopped(1).split(' ').contains(pattern);
}

} // namespace

TEST_F(DialogDetailsTest, TitlesAreTheWindowsOwnWithoutTheProgramsName)
{
    const QString oldName = QCoreApplication::applicationName();
    nameApplication();
    // A display name would be appended to every title (" — Moxel"); without
    // one, the desktop shows each title as it is.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    EXPECT_EQ(QCoreApplication::applicationName(), "moxel");
    QCoreApplication::setApplicationName(oldName);

    MainWindow window;
    window.timer().stop();
    EXPECT_EQ(window.windowTitle(), "Moxel");
}

TEST_F(DialogDetailsTest, TheMainWindowOpensWithTheKeyboardOnTheJobList)
{
    MainWindow window;
    window.timer().stop();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), window.list());
    window.hide();
}

TEST_F(DialogDetailsTest, EncodingDetailsTabsDownItsControlsFromTheProfileList)
{
    MainWindow window;
    window.timer().stop();
    std::vector<QWidget*> expected, forward, backward;
    WindowHandler answer([&](QWidget* widget) {
        auto* d = qobject_cast<EncodingDetailsDialog*>(widget);
        ASSERT_NE(d, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(d));
        auto* buttons = d->findChild<QDialogButtonBox*>();
        for (QWidget* control :
             {static_cast<QWidget*>(d->profileList()),
              static_cast<QWidget*>(d->editProfilesButton()), static_cast<QWidget*>(d->nameEdit()),
              static_cast<QWidget*>(d->folderEdit()), static_cast<QWidget*>(d->browseButton()),
              static_cast<QWidget*>(d->previousFolderButton()),
              static_cast<QWidget*>(d->sourceFolderButton()),
              static_cast<QWidget*>(buttons->button(QDialogButtonBox::Ok)),
              static_cast<QWidget*>(buttons->button(QDialogButtonBox::Cancel))})
            if (control->isEnabled()) // Edit Profiles needs the manager
                expected.push_back(control);
        expected.push_back(d->profileList());
        forward.push_back(QApplication::focusWidget());
        for (size_t i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            forward.push_back(QApplication::focusWidget());
        }
        backward.push_back(QApplication::focusWidget());
        for (size_t i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            backward.push_back(QApplication::focusWidget());
        }
        d->reject();
    });
    EXPECT_FALSE(window.commands().addSources({"/e/v/a.avi"}));
    EXPECT_EQ(forward, expected);
    EXPECT_EQ(backward, std::vector<QWidget*>(expected.rbegin(), expected.rend()));
}

TEST_F(DialogDetailsTest, EncodingDetailsEnterPressesTheFocusedButtonAndOkElsewhere)
{
    MainWindow window;
    window.timer().stop();
    settings().setString("last_output_dir", "/previous");
    QString folderAfterButton;
    bool openAfterButton = false;
    WindowHandler answer([&](QWidget* widget) {
        auto* d = qobject_cast<EncodingDetailsDialog*>(widget);
        ASSERT_NE(d, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(d));
        d->sourceFolderButton()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(d->sourceFolderButton(), Qt::Key_Return);
        openAfterButton = d->isVisible();
        folderAfterButton = d->folderEdit()->text();
        d->nameEdit()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(d->nameEdit(), Qt::Key_Return);
    });
    ASSERT_TRUE(window.commands().addSources({"/e/v/a.avi"}));
    EXPECT_TRUE(openAfterButton);
    EXPECT_EQ(folderAfterButton, "/e/v");
    EXPECT_EQ(window.batch().job(0).destPath, "/e/v/a.kmf");
}

TEST_F(DialogDetailsTest, EncodingDetailsReopenedAfterATooLongPathKeepsTheChosenProfile)
{
    MainWindow window;
    window.timer().stop();
    std::vector<int> shownProfiles;
    std::vector<QString> windows;
    WindowHandler answer([&](QWidget* widget) {
        windows.push_back(widget->windowTitle());
        auto* d = qobject_cast<EncodingDetailsDialog*>(widget);
        if (!d) {
            moxel::test::dismiss(widget); // the message about the path
            return;
        }
        shownProfiles.push_back(d->highlightedProfile());
        if (shownProfiles.size() == 1) {
            // Not last_profile's entry, and a folder name no system takes.
            d->profileList()->setHighlighted(1);
            d->folderEdit()->setText("/" + QString(300, 'x'));
        } else {
            d->folderEdit()->setText("/o");
        }
        moxel::test::clickButton(d, "OK");
    });
    ASSERT_TRUE(window.commands().addSources({"/e/v/a.avi"}));
    EXPECT_EQ(windows, (std::vector<QString>{"Encoding Details", "Error", "Encoding Details"}));
    EXPECT_EQ(shownProfiles, (std::vector<int>{0, 1}));
    ASSERT_EQ(window.batch().count(), 1);
    EXPECT_EQ(window.batch().job(0).profileIndex, 1);
    EXPECT_EQ(window.batch().job(0).destPath, "/o/a.kmf");
}

TEST_F(DialogDetailsTest, AddSourceFilesOffersEveryReadableFileFirstAndTakesTypedNames)
{
    MainWindow window;
    window.timer().stop();
    settings().setString("batch_load_dir", m_dir.path().string());
    QStringList filters;
    QString shownFirst, title;
    WindowHandler answer([&](QWidget* widget) {
        if (auto* files = qobject_cast<QFileDialog*>(widget)) {
            title = files->windowTitle();
            filters = files->nameFilters();
            if (auto* combo = files->findChild<QComboBox*>("fileTypeCombo"))
                shownFirst = combo->itemText(0);
            typeFileName(*files, "not-there-yet.mkv");
            expectClosed(*files);
        } else {
            moxel::test::clickButton(widget, "OK");
        }
    });
    window.commands().addSourceFiles();

    EXPECT_EQ(title, "Add Source Files");
    ASSERT_EQ(filters.size(), 3);
    EXPECT_EQ(shownFirst, "Media Files");
    for (const char* pattern :
         {"*.mp4", "*.mkv", "*.webm", "*.ts", "*.mov", "*.avi", "*.mpg", "*.mpeg", "*.flv"})
        EXPECT_TRUE(hasPattern(filters[0], pattern)) << pattern;
    EXPECT_EQ(filters[1], "Video Files (*.avi, *.mpg, *.mpeg, *.mov) (*.avi *.mpg *.mpeg *.mov)");
    EXPECT_EQ(filters[2], "All files (*)");
    // A typed name is taken as it is, also before the file exists.
    ASSERT_EQ(window.batch().count(), 1);
    EXPECT_EQ(window.batch().job(0).sourcePath, m_dir.file("not-there-yet.mkv"));
}

TEST_F(DialogDetailsTest, AddSourceFilesTakesSeveralTypedOrSelectedFiles)
{
    for (const char* name : {"a.mkv", "b.mkv"})
        moxel::test::writeFileText(m_dir.file(name), "");
    MainWindow window;
    window.timer().stop();
    settings().setString("batch_load_dir", m_dir.path().string());
    const auto addAnswering = [&](const std::function<void(QFileDialog&)>& choose) {
        WindowHandler answer([&](QWidget* widget) {
            if (auto* files = qobject_cast<QFileDialog*>(widget))
                choose(*files);
            else
                moxel::test::clickButton(widget, "OK");
        });
        window.commands().addSourceFiles();
    };
    addAnswering([](QFileDialog& files) {
        typeFileName(files, "\"a.mkv\" \"b.mkv\"");
        expectClosed(files);
    });
    addAnswering([&](QFileDialog& files) {
        auto* view = files.findChild<QAbstractItemView*>("listView");
        ASSERT_NE(view, nullptr);
        // Both files selected in the list, then Open.
        int selected = 0;
        ASSERT_TRUE(moxel::test::runEventsUntil([&] {
            QAbstractItemModel* model = view->model();
            for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
                const QModelIndex index = model->index(row, 0, view->rootIndex());
                if (index.data().toString().endsWith(".mkv") &&
                    !view->selectionModel()->isSelected(index)) {
                    view->selectionModel()->select(index, QItemSelectionModel::Select |
                                                              QItemSelectionModel::Rows);
                    ++selected;
                }
            }
            return selected == 2;
        }));
        auto* open = files.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
        ASSERT_TRUE(open->isEnabled());
        open->click();
    });
    std::vector<std::string> sources;
    for (int i = 0; i < window.batch().count(); ++i)
        sources.push_back(window.batch().job(i).sourcePath);
    // Typed names keep their order; selected ones come in the view's.
    ASSERT_EQ(sources.size(), 4u);
    std::sort(sources.begin() + 2, sources.end());
    const std::string a = m_dir.file("a.mkv"), b = m_dir.file("b.mkv");
    EXPECT_EQ(sources, (std::vector<std::string>{a, b, a, b}));
}

TEST_F(DialogDetailsTest, ImportTakesATypedNameThatDoesNotExistAndOpensATypedFolder)
{
    std::filesystem::create_directory(m_dir.file("sub"));
    QWidget owner;
    QtProfileFileChooser chooser(&owner);
    QString title, folderAfterFolder;
    bool openAfterFolder = false;
    WindowHandler answer([&](QWidget* widget) {
        auto* files = qobject_cast<QFileDialog*>(widget);
        ASSERT_NE(files, nullptr);
        title = files->windowTitle();
        typeFileName(*files, "sub");
        openAfterFolder = files->isVisible();
        folderAfterFolder = files->directory().absolutePath();
        typeFileName(*files, "missing.pf");
        expectClosed(*files);
    });
    const std::vector<std::string> chosen = chooser.chooseImportFiles(m_dir.path().string());
    EXPECT_EQ(title, "Import Encoding Profile(s)");
    EXPECT_TRUE(openAfterFolder);
    EXPECT_EQ(folderAfterFolder.toStdString(), m_dir.file("sub"));
    EXPECT_EQ(chosen, (std::vector<std::string>{m_dir.file("sub/missing.pf")}));
}
