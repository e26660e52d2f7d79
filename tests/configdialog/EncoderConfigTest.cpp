// The encoder configuration dialog: the format lists, the codec panels in
// their frames, the container options and what closing writes.
#include "ModalDriver.h"
#include "TestPlugins.h"
#include "configdialog/EncoderConfigDialog.h"
#include "configdialog/FormatListBox.h"
#include "profiles/IniFile.h"
#include "profiles/KmfConfig.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <memory>

using namespace moxel;
using namespace moxel::test;

namespace {

std::vector<std::string> entries(const QComboBox* list)
{
    std::vector<std::string> names;
    for (int i = 0; i < list->count(); ++i)
        names.push_back(list->itemText(i).toStdString());
    return names;
}

// A profile file with a "kmfconfig" section, the config loaded from it and
// the dialog on it, shown.
struct Open {
    TempDir dir;
    std::string path = dir.file("Test.pf");
    KmfConfig config{path};
    std::unique_ptr<EncoderConfigDialog> dialog;

    Open(const std::string& kmfconfig, const CodecPluginSet& plugins)
    {
        writeProfile(path, "[kmfencpp]\nfriendly_name=Test\n[kmfconfig]\n" + kmfconfig);
        config.load();
        dialog = std::make_unique<EncoderConfigDialog>(config, plugins);
        dialog->show();
        QApplication::processEvents();
    }
    ~Open() { config.release(); }

    FormatListBox* list(bool video)
    {
        return dialog->findChild<FormatListBox*>(video ? "videoFormat" : "audioFormat");
    }
    QLineEdit* field(const char* name) { return dialog->findChild<QLineEdit*>(name); }
    int counter(const char* key) { return IniFile::load(path).getInt("zz_panels", key, 0); }
    std::string value(const char* key)
    {
        return IniFile::load(path).getString("kmfconfig", key, "<absent>");
    }
    void pick(bool video, const char* text)
    {
        FormatListBox* l = list(video);
        int index = l->findText(QString::fromLatin1(text));
        ASSERT_GE(index, 0) << text;
        l->setCurrentIndex(index);
        emit l->activated(index);
    }
};

} // namespace

TEST(EncoderConfig, WithoutPluginsTheListsHoldTheBuiltInFormats)
{
    Open o("audfmt=541934416\nvidfmt=0\n", noPlugins());
    EXPECT_EQ(entries(o.list(false)), (std::vector<std::string>{"No Audio", "PCM Audio"}));
    EXPECT_EQ(entries(o.list(true)), (std::vector<std::string>{"No Video", "RGB 24bit/pixel"}));
    EXPECT_EQ(o.list(false)->currentIndex(), 1);
    EXPECT_EQ(o.list(true)->currentIndex(), -1); // 0 matches no entry
    EXPECT_EQ(o.dialog->audioSlot().panel(), nullptr);
    o.dialog->accept();
    EXPECT_EQ(o.value("vidfmt"), "0");
    EXPECT_EQ(o.value("audfmt"), "541934416");
}

TEST(EncoderConfig, PluginFormatsFollowTheBuiltInsAndTheirPanelsSitInTheFrames)
{
    Open o("audfmt=" + std::to_string(code("ZZA2")) + "\nvidfmt=" + std::to_string(code("ZZV1")) +
               "\n",
           panelTestPlugins());
    EXPECT_EQ(entries(o.list(false)),
              (std::vector<std::string>{"No Audio", "PCM Audio", "Test audio 1", "Test audio 2",
                                        "Test audio 3"}));
    EXPECT_EQ(entries(o.list(true)),
              (std::vector<std::string>{"No Video", "RGB 24bit/pixel", "Test video",
                                        "Test video without panel"}));
    EXPECT_EQ(o.list(false)->currentText(), "Test audio 2");
    EXPECT_EQ(livePanels(), 2);
    for (CodecPanelSlot* slot : {&o.dialog->audioSlot(), &o.dialog->videoSlot()}) {
        ASSERT_NE(slot->panel(), nullptr);
        EXPECT_EQ(slot->panel()->parentWidget(), slot->frame());
        EXPECT_EQ(slot->panel()->pos(), QPoint(0, 0));
        EXPECT_EQ(slot->panel()->size(), QSize(150, 50));
        EXPECT_TRUE(slot->panel()->isVisible());
    }
    EXPECT_EQ(o.dialog->audioPanel(), o.dialog->audioSlot().panel());
    o.dialog->accept();
    EXPECT_EQ(livePanels(), 0);
    EXPECT_EQ(o.dialog->audioPanel(), nullptr);
}

TEST(EncoderConfig, EveryListNotificationMakesThePanelAfresh)
{
    Open o("audfmt=" + std::to_string(code("ZZA1")) + "\nvidfmt=" + std::to_string(code("ZZV1")) +
               "\n",
           panelTestPlugins());
    EXPECT_EQ(o.counter("made_audio"), 1);

    // Picking the selected entry again, and opening and closing the list.
    emit o.list(false)->activated(o.list(false)->currentIndex());
    EXPECT_EQ(o.counter("made_audio"), 2);
    EXPECT_EQ(o.counter("destroyed_audio"), 1);
    o.list(false)->showPopup();
    o.list(false)->hidePopup();
    EXPECT_EQ(o.counter("made_audio"), 3);
    EXPECT_EQ(livePanels(), 2);

    o.pick(false, "Test audio 3");
    EXPECT_EQ(o.config.audioFormat, code("ZZA3"));
    EXPECT_EQ(o.counter("destroyed_audio"), 3);

    // A format without a panel leaves the frame empty; the old panel wrote.
    o.pick(true, "Test video without panel");
    EXPECT_EQ(o.dialog->videoSlot().panel(), nullptr);
    EXPECT_EQ(IniFile::load(o.path).getString("zz_panels", "last_video", ""), "ZZV1");
    EXPECT_EQ(livePanels(), 1);

    // Closing destroys the panels before the section is written.
    o.dialog->accept();
    EXPECT_EQ(livePanels(), 0);
    EXPECT_EQ(o.counter("made_audio"), o.counter("destroyed_audio"));
    EXPECT_EQ(IniFile::load(o.path).getString("zz_panels", "last_audio", ""), "ZZA3");
    EXPECT_EQ(o.value("audfmt"), std::to_string(code("ZZA3")));
    EXPECT_EQ(o.value("vidfmt"), std::to_string(code("ZZNP")));
}

TEST(EncoderConfig, SyncIntervalsAboveTheirLimitsAreReplaced)
{
    struct Case {
        const char* minText;
        const char* maxText;
        const char* minStored;
        const char* maxStored;
    };
    const Case cases[] = {
        {"150", "5000", "2", "1000"}, {"100", "1000", "100", "1000"}, {"101", "1001", "2", "1000"},
        {"", "", "0", "0"},           {"60", "30", "60", "30"}, // no check between the two
    };
    for (const Case& c : cases) {
        Open o("minsync=0\nmaxsync=120\n", noPlugins());
        o.field("minSync")->setText(QString::fromLatin1(c.minText));
        o.field("maxSync")->setText(QString::fromLatin1(c.maxText));
        o.dialog->accept();
        EXPECT_EQ(o.value("minsync"), c.minStored) << c.minText;
        EXPECT_EQ(o.value("maxsync"), c.maxStored) << c.maxText;
    }
}

TEST(EncoderConfig, ShowsAndTakesTheContainerOptions)
{
    Open o("minsync=3\nmaxsync=90\naudiosendahead=4294967196\nhdrwrite=1\nhdrtoc=512\n"
           "meta=Evening news\n",
           noPlugins());
    EXPECT_EQ(o.field("audioSendAhead")->text(), "-100");
    EXPECT_EQ(o.field("minSync")->text(), "3");
    EXPECT_EQ(o.field("tocSize")->text(), "512");
    EXPECT_EQ(o.field("metadata")->text(), "Evening news");
    EXPECT_TRUE(o.dialog->findChild<QCheckBox*>("fileHeader")->isChecked());
    // Digits-only fields take nothing else.
    EXPECT_FALSE(o.field("tocSize")->validator() == nullptr);
    QString typed = QStringLiteral("-12");
    int pos = 0;
    EXPECT_EQ(o.field("tocSize")->validator()->validate(typed, pos), QValidator::Invalid);

    o.field("audioSendAhead")->setText("-250");
    o.field("tocSize")->clear();
    o.field("metadata")->setText("Late news");
    o.dialog->findChild<QCheckBox*>("fileHeader")->setChecked(false);
    o.dialog->accept();
    EXPECT_EQ(o.value("audiosendahead"), "4294967046");
    EXPECT_EQ(o.value("hdrtoc"), "0");
    EXPECT_EQ(o.value("hdrwrite"), "0");
    EXPECT_EQ(o.value("meta"), "Late news");
}

TEST(EncoderConfig, EscapeAndTheCloseBoxKeepTheChangesAsOkDoes)
{
    for (int way = 0; way < 2; ++way) {
        Open o("maxsync=120\n", panelTestPlugins());
        o.field("maxSync")->setText("240");
        o.pick(false, "Test audio 1");
        if (way == 0)
            pressEscape(o.dialog.get());
        else
            o.dialog->close();
        EXPECT_FALSE(o.dialog->isVisible());
        EXPECT_EQ(o.dialog->result(), QDialog::Accepted);
        EXPECT_EQ(o.value("maxsync"), "240") << way;
        EXPECT_EQ(o.value("audfmt"), std::to_string(code("ZZA1"))) << way;
        EXPECT_EQ(livePanels(), 0);
    }
}
