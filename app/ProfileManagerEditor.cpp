#include "app/ProfileManagerEditor.h"

#include "base/Prompt.h"
#include "configdialog/ProfileEditEntry.h"

#include <QCoreApplication>
#include <QEvent>

#include <cstdio>
#include <dlfcn.h>

namespace moxel::gui {

ProfileEditorLibrary::ProfileEditorLibrary(std::string folder, Prompt& prompt)
    : m_folder(std::move(folder)), m_prompt(&prompt)
{
}

std::string ProfileEditorLibrary::libraryPath() const
{
    return m_folder + "/" + kProfileEditorLibrary;
}

bool ProfileEditorLibrary::editProfile(QWidget* owner, const std::string& profilePath)
{
    const std::string path = libraryPath();
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = ::dlerror();
        std::fprintf(stderr, "%s\n", reason ? reason : path.c_str());
        m_prompt->showMessage(kMissingTitle,
                              std::string("DLL not found: ") + kProfileEditorLibrary);
        return false;
    }
    auto edit = reinterpret_cast<KmfProfileEditDialogFn>(::dlsym(library, kProfileEditEntry));
    if (edit == nullptr) {
        m_prompt->showMessage(kCorruptTitle,
                              std::string("DLL is corrupt: ") + kProfileEditorLibrary);
        ::dlclose(library);
        return false;
    }
    edit(owner, profilePath.c_str());
    // Objects the editor left for deletion must go while their code is
    // still loaded.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ::dlclose(library);
    return true;
}

} // namespace moxel::gui
