// The profile edit dialog driven through a whole edit: what it shows, what OK
// writes, the name check, and Cancel putting the file back.
#include "ModalDriver.h"
#include "TestPlugins.h"
#include "configdialog/EncoderConfigDialog.h"
#include "configdialog/FormatListBox.h"
#include "configdialog/ProfileBackup.h"
#include "configdialog/ProfileEditSession.h"
#include "profiles/IniFile.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>

using namespace moxel;
using namespace moxel::test;

namespace {

const QString kEditorTitle = QStringLiteral("Moxel Profile Configuration");
const QString kEncoderTitle = QStringLiteral("KMF Encoder Configuration");

const char* const kFastProfile = "[kmfencpp]\n"
                                 "out_srate=22050\n"
                                 "out_channels=6\n"
                                 "sizefix=0\n"
                                 "deinterlace=2\n"
                                 "filteringresize=0\n"
                                 "doresize=1\n"
                                 "resizew=640\n"
                                 "resizeh=360\n"
                                 "crop_l=1\n"
                                 "crop_t=2\n"
                                 "crop_r=3\n"
                                 "crop_b=4\n"
                                 "outfruse=1\n"
                                 "lowpass=1\n"
                                 "friendly_name=Fast\n"
                                 "audioscale=1.250\n"
                                 "outfror=23.9760240\n";

QLineEdit* field(QWidget* dialog, const char* name)
{
    auto* f = dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
    EXPECT_NE(f, nullptr) << name;
    return f;
}

template <typename W> W* child(QWidget* dialog, const char* name)
{
    auto* w = dialog->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void click(QWidget* dialog, const char* button)
{
    child<QPushButton>(dialog, button)->click();
}

std::string value(const std::string& path, const char* section, const char* key)
{
    return IniFile::load(path).getString(section, key, "<absent>");
}

} // namespace

TEST(ProfileEditor, ShowsTheFileAndOkWritesTheFieldsAsShown)
{
    TempDir dir;
    std::string path = dir.file("Fast.pf");
    writeProfile(path, kFastProfile);
    std::string before = readFileText(path);

    whenModal(kEditorTitle, [&](QWidget* d) {
        EXPECT_EQ(child<QLabel>(d, "savedOnDisk")->text().toStdString(), "Saved on disk as: Fast");
        EXPECT_EQ(field(d, "profileName")->text(), "Fast");
        EXPECT_EQ(field(d, "frameRate")->text(), "23.97602");
        EXPECT_EQ(field(d, "volume")->text(), "1.250");
        EXPECT_EQ(child<QComboBox>(d, "channels")->currentText(), "Mono");
        EXPECT_TRUE(child<QCheckBox>(d, "deinterlace")->isChecked());
        EXPECT_FALSE(child<QCheckBox>(d, "hqDeinterlace")->isChecked());
        EXPECT_EQ(field(d, "cropTop")->text(), "2");
        EXPECT_EQ(field(d, "cropRight")->text(), "3");
        EXPECT_EQ(field(d, "resizeWidth")->text(), "640");
        EXPECT_EQ(field(d, "sampleRate")->text(), "22050");
        // The backup is there while the dialog is open.
        EXPECT_EQ(readFileText(ProfileBackup::backupPathFor(path)), before);

        field(d, "volume")->setText("0");
        field(d, "sampleRate")->clear();
        field(d, "cropLeft")->clear();
        child<QCheckBox>(d, "hqDeinterlace")->setChecked(true);
        click(d, "ok");
    });
    EXPECT_TRUE(runProfileEdit(nullptr, path.c_str(), noPlugins()));

    EXPECT_EQ(value(path, "kmfencpp", "outfror"), "23.9760200");
    EXPECT_EQ(value(path, "kmfencpp", "audioscale"), "0.001");
    EXPECT_EQ(value(path, "kmfencpp", "out_srate"), "44100");
    EXPECT_EQ(value(path, "kmfencpp", "out_channels"), "1");
    EXPECT_EQ(value(path, "kmfencpp", "sizefix"), "0");
    EXPECT_EQ(value(path, "kmfencpp", "crop_l"), "0");
    EXPECT_EQ(value(path, "kmfencpp", "deinterlace"), "1");
    EXPECT_EQ(value(path, "kmfencpp", "lowpass"), "1");
    EXPECT_EQ(value(path, "kmfencpp", "filteringresize"), "0");
    EXPECT_FALSE(std::filesystem::exists(ProfileBackup::backupPathFor(path)));
}

TEST(ProfileEditor, NamesWithSlashesOrPeriodsAreRefusedAndTheDialogStaysOpen)
{
    TempDir dir;
    std::string path = dir.file("Fast.pf");
    writeProfile(path, kFastProfile);
    std::string before = readFileText(path);
    int notices = 0;

    whenModal(kEditorTitle, [&](QWidget* d) {
        for (const char* bad : {"news/late", "v1.2", "back\\slash"}) {
            field(d, "profileName")->setText(QString::fromLatin1(bad));
            field(d, "resizeWidth")->setText("720");
            whenModal(QStringLiteral("Notice"), [&](QWidget* box) {
                ++notices;
                EXPECT_EQ(static_cast<QMessageBox*>(box)->text().toStdString(),
                          "Slashes and periods are not permitted in profile names");
                static_cast<QMessageBox*>(box)->accept();
            });
            click(d, "ok");
            EXPECT_TRUE(d->isVisible()) << bad;
            EXPECT_EQ(field(d, "profileName")->text().toStdString(), bad);
            EXPECT_EQ(field(d, "resizeWidth")->text(), "720");
            EXPECT_EQ(readFileText(path), before) << bad;
        }
        field(d, "profileName")->setText("Late news, 720 wide");
        click(d, "ok");
    });
    EXPECT_TRUE(runProfileEdit(nullptr, path.c_str(), noPlugins()));
    EXPECT_EQ(notices, 3);
    EXPECT_EQ(value(path, "kmfencpp", "friendly_name"), "Late news, 720 wide");
    EXPECT_EQ(value(path, "kmfencpp", "resizew"), "720");
}

TEST(ProfileEditor, CancelAfterChangingTheCodecLeavesTheFileByteForByte)
{
    TempDir dir;
    std::string path = dir.file("Fast.pf");
    // Odd but valid formatting and a plug-in's own section, all to be kept.
    writeFileText(path, std::string(kFastProfile) +
                            "[kmfconfig]\naudfmt=541934416\r\nvidfmt=859981650\n"
                            "; a note\n\n[other_coder]\nquality = 7 \r\n");
    std::string before = readFileText(path);
    bool encoderShown = false;

    whenModal(kEditorTitle, [&](QWidget* d) {
        field(d, "resizeWidth")->setText("1280");
        field(d, "profileName")->setText("Changed");
        whenModal(kEncoderTitle, [&](QWidget* e) {
            encoderShown = true;
            auto* video = child<FormatListBox>(e, "videoFormat");
            int index = video->findText("Test video");
            ASSERT_GE(index, 0);
            video->setCurrentIndex(index);
            emit video->activated(index);
            field(e, "metadata")->setText("changed");
            field(e, "minSync")->setText("5");
            click(e, "ok");
        });
        click(d, "encoderConfig");
        // Everything was written by now...
        EXPECT_EQ(value(path, "kmfconfig", "vidfmt"), std::to_string(code("ZZV1")));
        EXPECT_EQ(value(path, "zz_panels", "last_video"), "ZZV1");
        EXPECT_EQ(value(path, "kmfencpp", "resizew"), "1280");
        // ...and Cancel takes it all back.
        click(d, "cancel");
    });
    EXPECT_FALSE(runProfileEdit(nullptr, path.c_str(), panelTestPlugins()));
    EXPECT_TRUE(encoderShown);
    EXPECT_EQ(readFileText(path), before);
    EXPECT_FALSE(std::filesystem::exists(ProfileBackup::backupPathFor(path)));
}

TEST(ProfileEditor, EscapeAndTheCloseBoxActAsCancel)
{
    TempDir dir;
    std::string path = dir.file("Fast.pf");
    writeProfile(path, kFastProfile);
    std::string before = readFileText(path);

    for (bool escape : {true, false}) {
        whenModal(kEditorTitle, [&](QWidget* d) {
            field(d, "resizeWidth")->setText("100");
            whenModal(kEncoderTitle, [&](QWidget* e) { pressEscape(e); });
            click(d, "encoderConfig"); // writes the file
            EXPECT_NE(readFileText(path), before);
            if (escape)
                pressEscape(d);
            else
                d->close();
        });
        EXPECT_FALSE(runProfileEdit(nullptr, path.c_str(), noPlugins()));
        EXPECT_EQ(readFileText(path), before) << (escape ? "Escape" : "close box");
    }
}

TEST(ProfileEditor, AMissingFileOpensWithDefaultsOkCreatesItCancelLeavesNone)
{
    TempDir dir;
    std::string path = dir.file("New.pf");

    whenModal(kEditorTitle, [&](QWidget* d) {
        EXPECT_EQ(field(d, "profileName")->text(), "error");
        EXPECT_EQ(field(d, "frameRate")->text(), "30.00000");
        EXPECT_EQ(field(d, "resizeWidth")->text(), "320");
        EXPECT_EQ(child<QComboBox>(d, "channels")->currentText(), "Stereo");
        whenModal(kEncoderTitle, [&](QWidget* e) { e->close(); });
        click(d, "encoderConfig"); // creates the file
        EXPECT_TRUE(std::filesystem::exists(path));
        click(d, "cancel");
    });
    EXPECT_FALSE(runProfileEdit(nullptr, path.c_str(), noPlugins()));
    EXPECT_FALSE(std::filesystem::exists(path));

    whenModal(kEditorTitle, [&](QWidget* d) { click(d, "ok"); });
    EXPECT_TRUE(runProfileEdit(nullptr, path.c_str(), noPlugins()));
    EXPECT_EQ(value(path, "kmfencpp", "friendly_name"), "error");
    EXPECT_EQ(value(path, "kmfencpp", "out_srate"), "44100");
    EXPECT_EQ(value(path, "kmfencpp", "outfror"), "30.0000000");

    EXPECT_FALSE(runProfileEdit(nullptr, "", noPlugins()));
    EXPECT_FALSE(runProfileEdit(nullptr, nullptr, noPlugins()));
}

TEST(ProfileBackup, RestoresFromMemoryWhenTheBackupFileCannotBeWritten)
{
    TempDir dir;
    // With "__temp__.pf" added the backup's name is too long for the folder.
    std::string path = dir.file(std::string(245, 'p') + ".pf");
    writeProfile(path, kFastProfile);
    std::string before = readFileText(path);
    {
        ProfileBackup backup(path);
        EXPECT_FALSE(backup.hasBackupFile());
        writeFileText(path, "[kmfencpp]\nfriendly_name=overwritten\n");
        EXPECT_TRUE(backup.restore());
    }
    EXPECT_EQ(readFileText(path), before);
}
