// The library's one exported entry. Everything else in the library is
// hidden (see the version script beside this file).
#include "configdialog/ProfileEditEntry.h"

#include "base/DiagnosticSink.h"
#include "configdialog/EditorPlugins.h"
#include "configdialog/ProfileEditSession.h"

#include <QApplication>
#include <QThread>

#include <exception>

namespace {

void report(const char* line)
{
    moxel::emitDiagnostic(moxel::kProfileEditorDiagnostics, moxel::DiagnosticLevel::Error, line);
}

} // namespace

extern "C" __attribute__((visibility("default"))) bool ProfileEditDialog(QWidget* parent,
                                                                         const char* profilePath)
{
    if (profilePath == nullptr || *profilePath == '\0')
        return false;
    try {
        QCoreApplication* app = QCoreApplication::instance();
        if (qobject_cast<QApplication*>(app) == nullptr) {
            report("profile editor: the process runs no widget application");
            return false;
        } else if (QThread::currentThread() != app->thread()) {
            report("profile editor: called off the user-interface thread");
            return false;
        }
        return moxel::runProfileEdit(parent, profilePath, moxel::editorPlugins());
    } catch (const std::exception& e) {
        moxel::emitDiagnosticf(moxel::kProfileEditorDiagnostics, moxel::DiagnosticLevel::Error,
                               "profile editor: %s", e.what());
    } catch (...) {
        report("profile editor: unknown failure");
    }
    return false;
}
