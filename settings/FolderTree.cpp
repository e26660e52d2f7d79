#include "settings/FolderTree.h"

#include <cerrno>
#include <sys/stat.h>

namespace moxel {

namespace {

bool isFolder(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

bool createFolderTree(const std::string& path)
{
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.empty())
        return false;
    struct stat st {};
    if (stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);

    size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !createFolderTree(folder.substr(0, slash)))
        return false;
    // Another process may have made it meanwhile: that is success too.
    return mkdir(folder.c_str(), 0777) == 0 || (errno == EEXIST && isFolder(folder));
}

} // namespace moxel
