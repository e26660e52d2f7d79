// Replaces a file's whole content so that a reader, a crash or a full disk
// never sees a half-written file: the bytes go to a temporary file in the
// same folder, are synced, and the temporary is renamed over the old file.
// Used by IniFile (profiles) and SettingsFile (settings, profile index).
#pragma once

#include <string>
#include <string_view>

namespace moxel {

// Writes bytes to path atomically. On any failure the temporary file is
// removed, the old file (if any) is left intact and false is returned. A new
// file gets mode 0666 less the umask; a replaced file keeps its mode. A
// symbolic link at path is followed: the file it points to is replaced.
// Temporaries of path left by a writer that was killed (its process is
// gone) are removed first.
bool writeFileAtomically(const std::string& path, std::string_view bytes);

// The file a symbolic link at path ends at (the file a replacement by rename
// must replace, so that the link stays); otherwise path itself.
std::string resolveLink(const std::string& path);

} // namespace moxel
