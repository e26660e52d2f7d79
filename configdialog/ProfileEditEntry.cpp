// The library's one exported entry. Everything else in the library is
// hidden (see the version script beside this file).
#include "configdialog/ProfileEditEntry.h"

#include "configdialog/EditorPlugins.h"
#include "configdialog/ProfileEditSession.h"

#include <QApplication>
#include <QThread>

#include <cstdio>
#include <exception>

extern "C" __attribute__((visibility("default"))) bool ProfileEditDialog(QWidget* parent,
                                                                         const char* profilePath)
{
    if (profilePath == nullptr || *profilePath == '\0')
        return false;
    try {
        QCoreApplication* app = QCoreApplication::instance();
        if (qobject_cast<QApplication*>(app) == nullptr) {
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
