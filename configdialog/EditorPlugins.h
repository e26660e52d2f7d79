// The profile editor's own table of codec plug-ins. The library lies beside
// the program and its plug-ins, so it looks in its own folder (found with
// dladdr), or in the running program's folder when that fails. The table is
// filled the first time it is asked for and lives as long as the library is
// loaded; the plug-ins are freed with it, after every panel is gone.
#pragma once

#include <string>

namespace moxel {

class CodecPluginSet;

// The folder the library file lies in; empty when unknown.
std::string editorLibraryFolder();

// The plug-ins of the editor's folder, loaded on the first call.
CodecPluginSet& editorPlugins();

} // namespace moxel
