// The library's one exported entry. Everything else in the library is
// hidden (see the version script beside this file).
#include "configdialog/ProfileEditEntry.h"

#include "configdialog/EditorPlugins.h"
#include "configdialog/ProfileEditSession.h"

#include <QApplication>
#include <QThread>

#include <cstdio>
#include <exception>
#include <memory>

namespace {

// For a process without an application object: one for the call's length.
std::unique_ptr<QApplication> makeOwnApplication()
{
    static int argc = 1;
    static char name[] = "KmfConfigDialog";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QApplication>(argc, argv);
}

} // namespace

extern "C" __attribute__((visibility("default"))) bool ProfileEditDialog(QWidget* parent,
                                                                         const char* profilePath)
{
    if (profilePath == nullptr || *profilePath == '\0')
        return false;
    try {
        std::unique_ptr<QApplication> ownApplication;
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr) {
            ownApplication = makeOwnApplication();
        } else if (qobject_cast<QApplication*>(app) == nullptr) {
            std::fprintf(stderr, "profile editor: the process runs no widget application\n");
            return false;
        } else if (QThread::currentThread() != app->thread()) {
            std::fprintf(stderr, "profile editor: called off the user-interface thread\n");
            return false;
        }
        return moxel::runProfileEdit(parent, profilePath, moxel::editorPlugins());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "profile editor: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "profile editor: unknown failure\n");
    }
    return false;
}
