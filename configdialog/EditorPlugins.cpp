#include "configdialog/EditorPlugins.h"

#include "base/DiagnosticSink.h"
#include "encoder/CodecPlugins.h"

#include <dlfcn.h>

#include <filesystem>

namespace moxel {

std::string editorLibraryFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&editorLibraryFolder), &info) == 0 ||
        info.dli_fname == nullptr || *info.dli_fname == '\0')
        return executableFolder();
    std::error_code ec;
    std::filesystem::path file = std::filesystem::absolute(info.dli_fname, ec);
    if (ec)
        return executableFolder();
    return file.parent_path().string();
}

CodecPluginSet& editorPlugins()
{
    static CodecPluginSet plugins;
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        std::string folder = editorLibraryFolder();
        if (folder.empty())
            emitDiagnostic(kProfileEditorDiagnostics, DiagnosticLevel::Error,
                           "profile editor: cannot find the program folder");
        else
            plugins.load(folder);
    }
    return plugins;
}

} // namespace moxel
