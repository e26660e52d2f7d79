#include "configdialog/ProfileEditSession.h"

#include "configdialog/ProfileBackup.h"
#include "configdialog/ProfileEditorDialog.h"

namespace moxel {

bool runProfileEdit(QWidget* parent, const char* profilePath, const CodecPluginSet& plugins)
{
    if (profilePath == nullptr || *profilePath == '\0')
        return false;
    ProfileBackup backup(profilePath);
    ProfileEditorDialog dialog(profilePath, plugins, backup, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace moxel
