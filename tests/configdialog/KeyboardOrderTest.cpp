// Where the editor's dialogs put the keyboard: the control each opens with,
// and the order Tab and Shift+Tab go round, codec panels included.
#include "ModalDriver.h"
#include "TestPlugins.h"
#include "configdialog/EncoderConfigDialog.h"
#include "configdialog/FormatListBox.h"
#include "configdialog/ProfileEditSession.h"
#include "profiles/KmfConfig.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace moxel;
using namespace moxel::test;

namespace {

using Names = std::vector<std::string>;

std::string focusName()
{
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName().toStdString() : "<none>";
}

// The focused control's name, then after each of steps presses of key.
Names walk(int steps, Qt::Key key = Qt::Key_Tab)
{
    Names names{focusName()};
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(QApplication::focusWidget(), key);
        names.push_back(focusName());
    }
    return names;
}

Names reversed(Names names)
{
    return Names(names.rbegin(), names.rend());
}

// The encoder configuration on a profile with the given formats, shown and
// active.
struct OpenEncoder {
    TempDir dir;
    std::string path = dir.file("Keys.pf");
    KmfConfig config{path};
    std::unique_ptr<EncoderConfigDialog> dialog;

    OpenEncoder(uint32_t audio, uint32_t video)
    {
        writeProfile(path, "[kmfencpp]\nfriendly_name=Keys\n[kmfconfig]\naudfmt=" +
                               std::to_string(audio) + "\nvidfmt=" + std::to_string(video) + "\n");
        config.load();
        dialog = std::make_unique<EncoderConfigDialog>(config, panelTestPlugins());
        dialog->show();
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }
    ~OpenEncoder()
    {
        dialog.reset();
        config.release();
    }
};

} // namespace

TEST(KeyboardOrder, EncoderConfigurationGoesDownItsControlsThroughTheCodecPanels)
{
    OpenEncoder o(code("ZZA1"), code("ZZV1"));
    const Names order = {"audioSendAhead", "minSync",       "maxSync",     "fileHeader",
                         "tocSize",        "metadata",      "audioFormat", "zzField_audio",
                         "videoFormat",    "zzField_video", "ok",          "audioSendAhead"};
    EXPECT_EQ(walk(11), order);
    EXPECT_EQ(walk(11, Qt::Key_Backtab), reversed(order));

    // A panel made afresh for another format takes its place in the order.
    FormatListBox* audio = o.dialog->findChild<FormatListBox*>("audioFormat");
    audio->setFocus();
    const int other = audio->findText("Test audio 3");
    audio->setCurrentIndex(other);
    emit audio->activated(other);
    EXPECT_EQ(walk(2), (Names{"audioFormat", "zzField_audio", "videoFormat"}));

    // Without a panel, the list is followed by the next list.
    const int builtIn = audio->findText("PCM Audio");
    audio->setCurrentIndex(builtIn);
    emit audio->activated(builtIn);
    audio->setFocus();
    EXPECT_EQ(walk(1), (Names{"audioFormat", "videoFormat"}));
}

TEST(KeyboardOrder, TabTabSpaceInTheEncoderConfigurationTypesAndKeepsItOpen)
{
    OpenEncoder o(code("PCM "), code("RGB3"));
    EXPECT_EQ(walk(2), (Names{"audioSendAhead", "minSync", "maxSync"}));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QApplication::processEvents();
    EXPECT_TRUE(o.dialog->isVisible());
}

TEST(KeyboardOrder, ProfileEditorStartsOnTheNameAndTabsDownItsTable)
{
    TempDir dir;
    const std::string path = dir.file("Keys.pf");
    writeProfile(path, "[kmfencpp]\nfriendly_name=Keys\n");
    const Names order = {
        "profileName", "deinterlace", "hqDeinterlace", "cropTop",      "cropLeft",  "cropBottom",
        "cropRight",   "resize",      "resizeWidth",   "resizeHeight", "hqResize",  "sampleRate",
        "channels",    "lowpass",     "volume",        "dropRepeat",   "frameRate", "encoderConfig",
        "ok",          "cancel",      "profileName"};
    Names forward, backward;
    whenModal(QStringLiteral("Moxel Profile Configuration"), [&](QWidget* d) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(d));
        forward = walk(int(order.size()) - 1);
        backward = walk(int(order.size()) - 1, Qt::Key_Backtab);
        d->close();
    });
    runProfileEdit(nullptr, path.c_str(), noPlugins());
    EXPECT_EQ(forward, order);
    EXPECT_EQ(backward, reversed(order));
}

TEST(KeyboardOrder, EnterPressesTheFocusedButtonAndOkFromAField)
{
    TempDir dir;
    const std::string path = dir.file("Keys.pf");
    writeProfile(path, "[kmfencpp]\nfriendly_name=Keys\nresizew=640\n");
    const std::string before = readFileText(path);
    const auto enterOn = [&](const char* name) {
        whenModal(QStringLiteral("Moxel Profile Configuration"), [&, name](QWidget* d) {
            EXPECT_TRUE(QTest::qWaitForWindowActive(d));
            d->findChild<QLineEdit*>("resizeWidth")->setText("999");
            QWidget* control = d->findChild<QWidget*>(name);
            control->setFocus(Qt::TabFocusReason);
            QTest::keyClick(control, Qt::Key_Return);
            if (d->isVisible()) {
                ADD_FAILURE() << "Enter on " << name << " left the dialog open";
                d->close();
            }
        });
        return runProfileEdit(nullptr, path.c_str(), noPlugins());
    };
    // Enter on the focused Cancel cancels: nothing is written.
    EXPECT_FALSE(enterOn("cancel"));
    EXPECT_EQ(readFileText(path), before);
    // Enter in a field is OK.
    EXPECT_TRUE(enterOn("resizeWidth"));
    EXPECT_NE(readFileText(path).find("resizew=999\r\n"), std::string::npos);
}
