// One profile edit from start to end, as the library's entry runs it: the
// backup of the file, the modal profile edit dialog, the backup's removal.
// Tests run it with a plug-in set of their choice.
#pragma once

class QWidget;

namespace moxel {

class CodecPluginSet;

// True when the user closed the dialog with OK. An absent or empty path
// returns false at once.
bool runProfileEdit(QWidget* parent, const char* profilePath, const CodecPluginSet& plugins);

} // namespace moxel
