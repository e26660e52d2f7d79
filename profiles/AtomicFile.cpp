#include "profiles/AtomicFile.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moxel {

namespace {

std::string folderOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Opens a new temporary beside path; the name is unique within the process
// (counter) and between processes (pid), O_EXCL catches leftovers.
int openTemporary(const std::string& path, std::string& tempPath)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = path + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(counter++);
        int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A writer killed between creating its temporary and the rename leaves the
// temporary behind. Removes those of path (named as openTemporary names
// them) whose process is gone, so that the next save cleans up after it.
void removeStaleTemporaries(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const std::string prefix =
        (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp";
    DIR* dir = opendir(folderOf(path).c_str());
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (!std::isdigit(static_cast<unsigned char>(name[prefix.size()])) || pid <= 0 ||
            *end != '_' || end[1] == '\0' || pid == long(getpid()) ||
            std::string(end + 1).find_first_not_of("0123456789") != std::string::npos)
            continue;
        if (kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            unlink((folderOf(path) + "/" + name).c_str());
    }
    closedir(dir);
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

} // namespace

std::string resolveLink(const std::string& path)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string target = resolved;
    free(resolved);
    return target;
}

bool writeFileAtomically(const std::string& requestedPath, std::string_view bytes)
{
    if (requestedPath.empty())
        return false;
    const std::string path = resolveLink(requestedPath);
    removeStaleTemporaries(path);
    std::string tempPath;
    int fd = openTemporary(path, tempPath);
    if (fd < 0)
        return false;

    bool ok = writeAll(fd, bytes);
    struct stat old {};
    if (ok && stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ok = fchmod(fd, old.st_mode & 07777) == 0;
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(tempPath.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(tempPath.c_str());
        return false;
    }

    // Make the rename itself durable; a folder that cannot be synced does
    // not undo a write that has already happened.
    int dirFd = open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

} // namespace moxel
