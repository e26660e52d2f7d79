#include "app/ProfileManagerFiles.h"

#include "profiles/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace moxel::gui {

namespace {

std::optional<std::string> readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return std::move(bytes).str();
}

bool exists(const std::string& path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 || errno != ENOENT;
}

} // namespace

bool renameWithoutReplacing(const std::string& from, const std::string& to)
{
    if (from == to)
        return true;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // The file system cannot rename without replacing: a hard link fails
    // on an existing name just the same.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    return false;
}

bool copyWithoutReplacing(const std::string& from, const std::string& to)
{
    const std::optional<std::string> bytes = readWholeFile(from);
    if (!bytes || exists(to))
        return false;
    // Written complete under a name of its own, then given the target's
    // name only if that is still free.
    const std::string temporary = to + ".copy";
    if (exists(temporary) || !writeFileAtomically(temporary, *bytes))
        return false;
    if (renameWithoutReplacing(temporary, to))
        return true;
    ::unlink(temporary.c_str());
    return false;
}

bool copyReplacing(const std::string& from, const std::string& to)
{
    const std::optional<std::string> bytes = readWholeFile(from);
    return bytes && writeFileAtomically(to, *bytes);
}

} // namespace moxel::gui
