// libKmfConfigDialog.so as the program uses it: loaded by name, its one entry
// looked up and called, the codec plug-ins beside it found on its own.
#include "ModalDriver.h"
#include "TestPlugins.h"
#include "configdialog/ProfileEditEntry.h"
#include "profiles/IniFile.h"
#include "support/TempDir.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <thread>

using namespace moxel;
using namespace moxel::test;

namespace {

class EditorLibrary : public testing::Test {
  protected:
    void SetUp() override
    {
        m_handle = dlopen(KMF_CONFIG_DIALOG_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_handle, nullptr) << dlerror();
        m_entry = reinterpret_cast<KmfProfileEditDialogFn>(dlsym(m_handle, kProfileEditEntry));
        ASSERT_NE(m_entry, nullptr);
    }
    void TearDown() override
    {
        if (m_handle)
            dlclose(m_handle);
    }

    void* m_handle = nullptr;
    KmfProfileEditDialogFn m_entry = nullptr;
};

void click(QWidget* dialog, const char* name)
{
    auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
    ASSERT_NE(button, nullptr) << name;
    button->click();
}

} // namespace

TEST_F(EditorLibrary, ExportsTheEntryAndNothingElse)
{
    EXPECT_EQ(std::filesystem::path(KMF_CONFIG_DIALOG_PATH).filename(), kProfileEditorLibrary);
    std::string command = std::string("nm -D --defined-only '") + KMF_CONFIG_DIALOG_PATH + "'";
    FILE* nm = popen(command.c_str(), "r");
    ASSERT_NE(nm, nullptr);
    std::vector<std::string> symbols;
    char line[512];
    while (std::fgets(line, sizeof line, nm)) {
        std::string s = line;
        s = s.substr(s.find_last_of(' ') + 1);
        s.erase(s.find_last_not_of("\n") + 1);
        symbols.push_back(s);
    }
    EXPECT_EQ(pclose(nm), 0);
    EXPECT_EQ(symbols, std::vector<std::string>{"ProfileEditDialog"});
}

TEST_F(EditorLibrary, AnEmptyPathReturnsAtOnce)
{
    EXPECT_FALSE(m_entry(nullptr, nullptr));
    EXPECT_FALSE(m_entry(nullptr, ""));
}

TEST_F(EditorLibrary, RefusesACallFromAnotherThread)
{
    TempDir dir;
    std::string path = dir.file("Stream.pf");
    writeProfile(path, "[kmfencpp]\nfriendly_name=Stream\n");
    std::string before = readFileText(path);
    bool result = true;
    std::thread other([&] { result = m_entry(nullptr, path.c_str()); });
    other.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(readFileText(path), before);
}

TEST_F(EditorLibrary, EditsWithTheCodecPluginsBesideIt)
{
    TempDir dir;
    std::string path = dir.file("Stream.pf");
    writeProfile(path, "[kmfencpp]\nfriendly_name=Stream\n[kmfconfig]\nvidfmt=859981650\n");
    std::vector<std::string> pluginNames;
    for (const CodecType& t : programPlugins().videoTypes(false))
        pluginNames.push_back(t.displayName);
    ASSERT_FALSE(pluginNames.empty());

    for (bool ok : {false, true}) {
        std::string before = readFileText(path);
        whenModal(QStringLiteral("Moxel Profile Configuration"), [&](QWidget* d) {
            d->findChild<QLineEdit*>("profileName")->setText("Stream VP8");
            whenModal(QStringLiteral("KMF Encoder Configuration"), [&](QWidget* e) {
                auto* list = e->findChild<QComboBox*>("videoFormat");
                ASSERT_NE(list, nullptr);
                ASSERT_EQ(list->count(), int(2 + pluginNames.size()));
                for (size_t i = 0; i < pluginNames.size(); ++i)
                    EXPECT_EQ(list->itemText(int(2 + i)).toStdString(), pluginNames[i]);
                int vp8 = list->findText("VP8 (real-time)");
                ASSERT_GE(vp8, 0);
                list->setCurrentIndex(vp8);
                emit list->activated(vp8);
                auto* bitrate = e->findChild<QSpinBox*>("videoBitrate");
                ASSERT_NE(bitrate, nullptr);
                bitrate->setValue(640);
                click(e, "ok");
            });
            click(d, "encoderConfig");
            click(d, ok ? "ok" : "cancel");
        });
        EXPECT_EQ(m_entry(nullptr, path.c_str()), ok);
        if (!ok) {
            EXPECT_EQ(readFileText(path), before);
        }
    }
    IniFile ini = IniFile::load(path);
    EXPECT_EQ(ini.getString("kmfencpp", "friendly_name", ""), "Stream VP8");
    EXPECT_EQ(ini.getInt("kmfconfig", "vidfmt", 0), int(code("VP80")));
    EXPECT_EQ(ini.getInt("kmf_coder_av", "video_bitrate", 0), 640);
}
