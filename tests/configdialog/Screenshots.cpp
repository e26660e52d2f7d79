#include "Screenshots.h"

#include "ModalDriver.h"
#include "configdialog/EncoderConfigDialog.h"
#include "configdialog/ProfileBackup.h"
#include "configdialog/ProfileEditorDialog.h"
#include "encoder/CodecPlugins.h"
#include "profiles/KmfConfig.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>
#include <filesystem>

namespace moxel::test {

namespace {

bool grabTo(QWidget& dialog, const std::string& file)
{
    dialog.show();
    dialog.adjustSize();
    QApplication::processEvents();
    bool saved = dialog.grab().save(QString::fromStdString(file), "PNG");
    std::printf("%s %s\n", saved ? "wrote" : "cannot write", file.c_str());
    return saved;
}

} // namespace

bool saveScreenshots(const std::string& folder)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    TempDir dir;
    std::string profile = dir.file("Streaming 640x360.pf");
    writeProfile(profile, "[kmfencpp]\nout_srate=44100\nout_channels=2\nsizefix=1\n"
                          "deinterlace=1\nfilteringresize=1\ndoresize=1\nresizew=640\n"
                          "resizeh=360\ncrop_l=0\ncrop_t=8\ncrop_r=0\ncrop_b=8\noutfruse=1\n"
                          "lowpass=1\nfriendly_name=Streaming 640x360\naudioscale=1.000\n"
                          "outfror=25.0000000\n[kmfconfig]\naudfmt=540233805\n"
                          "vidfmt=808996950\nminsync=0\nmaxsync=120\naudiosendahead=100\n"
                          "hdrwrite=1\nhdrtoc=1024\nmeta=Evening news\n"
                          "[kmf_coder_av]\nvideo_bitrate=800\nkeyint=60\nspeed=5\n"
                          "audio_bitrate=128\n");
    CodecPluginSet plugins;
    plugins.load(MOXEL_PROGRAM_DIR);

    bool ok = true;
    {
        ProfileBackup backup(profile);
        ProfileEditorDialog editor(profile, plugins, backup);
        ok = grabTo(editor, folder + "/profile-editor.png") && ok;
    }
    {
        KmfConfig config(profile);
        config.load();
        EncoderConfigDialog encoder(config, plugins);
        ok = grabTo(encoder, folder + "/encoder-configuration.png") && ok;
    }
    return ok;
}

} // namespace moxel::test
