#include "encoder/OutputFile.h"

#include "base/DiagnosticSink.h"
#include "profiles/AtomicFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <random>
#include <thread>

namespace moxel {

namespace {

constexpr const char* kOpenFailed = "openOutput: error opening output file";
constexpr const char* kIsFolder = "openOutput: the output file is a folder";
constexpr const char* kNoReader = "openOutput: no program reads the output pipe";
constexpr const char* kWriteFailed = "close: error writing output file";
constexpr const char* kRenameFailed = "close: error renaming the finished file to the output file";

constexpr int kReaderPollMs = 20;
constexpr int kTemporaryAttempts = 100;
// Room left in a file name for the dot before it and ".XXXXXX" after it.
constexpr size_t kTemporaryNameMax = NAME_MAX - 8;

void reportFailure(const char* what, const std::string& path, int error)
{
    emitDiagnosticf(kOutputFileDiagnostics, DiagnosticLevel::Error, "%s %s: %s", what, path.c_str(),
                    std::strerror(error));
}

// The descriptor that "/dev/stdout", "/dev/fd/N" or "/proc/self/fd/N"
// names, or -1 for any other path.
int descriptorNamed(const std::string& path)
{
    if (path == "/dev/stdout")
        return STDOUT_FILENO;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const size_t length = std::strlen(prefix);
        if (path.compare(0, length, prefix) != 0 || path.size() == length ||
            path.size() - length > 9)
            continue;
        int fd = 0;
        for (size_t i = length; i < path.size(); ++i) {
            if (path[i] < '0' || path[i] > '9')
                return -1;
            fd = fd * 10 + (path[i] - '0');
        }
        return fd;
    }
    return -1;
}

// The name a new temporary for destination gets: the same folder, a hidden
// name made of the destination's and six random characters.
std::string temporaryName(const std::string& destination)
{
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{
        std::random_device{}() ^
        uint64_t(std::chrono::steady_clock::now().time_since_epoch().count())};
    const size_t slash = destination.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : destination.substr(0, slash + 1);
    std::string name = destination.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.size() > kTemporaryNameMax)
        name.resize(kTemporaryNameMax);
    std::string result = folder + "." + name + ".";
    for (int i = 0; i < 6; ++i)
        result += kAlphabet[random() % (sizeof kAlphabet - 1)];
    return result;
}

} // namespace

OutputKind outputKindOf(const std::string& path)
{
    if (descriptorNamed(path) >= 0)
        return OutputKind::Direct;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return OutputKind::File; // not there yet
    if (S_ISDIR(info.st_mode))
        return OutputKind::Folder;
    return S_ISREG(info.st_mode) ? OutputKind::File : OutputKind::Direct;
}

OutputFile::~OutputFile()
{
    discard();
}

const char* OutputFile::open(const std::string& destination, int pipeReaderWaitMs)
{
    discard();
    switch (outputKindOf(destination)) {
    case OutputKind::Folder:
        reportFailure("cannot write to", destination, EISDIR);
        return kIsFolder;
    case OutputKind::Direct:
        return openDirect(destination, pipeReaderWaitMs);
    case OutputKind::File:
        break;
    }
    return openTemporary(destination);
}

const char* OutputFile::openTemporary(const std::string& destination)
{
    // An existing destination reached through links: the rename replaces the
    // file they end at, and the links stay.
    const std::string target = resolveLink(destination);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    // A file that could not be written in place is not replaced either.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        reportFailure("cannot write", target, errno);
        return kOpenFailed;
    }
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kTemporaryAttempts && fd < 0; ++attempt) {
        temporary = temporaryName(target);
        fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        reportFailure("cannot create a temporary file beside", target, errno);
        return kOpenFailed;
    }
    // The umask has made the mode a new file gets; a replaced file keeps its own.
    if (exists && ::fchmod(fd, existing.st_mode & 0777) != 0)
        reportFailure("cannot give the permissions of the file it replaces to", temporary, errno);
    m_fd = fd;
    m_temporary = true;
    m_destination = target;
    m_writingPath = temporary;
    return nullptr;
}

const char* OutputFile::openDirect(const std::string& destination, int pipeReaderWaitMs)
{
    int fd = -1;
    if (const int named = descriptorNamed(destination); named >= 0) {
        fd = ::fcntl(named, F_DUPFD_CLOEXEC, 0);
    } else {
        // Without O_NONBLOCK the open of a FIFO waits for a reader for ever.
        for (int waited = 0;; waited += kReaderPollMs) {
            fd = ::open(destination.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (fd >= 0 || errno != ENXIO || waited >= pipeReaderWaitMs)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(kReaderPollMs));
        }
        if (fd < 0 && errno == ENXIO) {
            reportFailure("no program reads", destination, ENXIO);
            return kNoReader;
        }
        if (fd >= 0) {
            const int flags = ::fcntl(fd, F_GETFL);
            if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
                ::close(fd);
                fd = -1;
            }
        }
    }
    if (fd < 0) {
        reportFailure("cannot open", destination, errno);
        return kOpenFailed;
    }
    m_fd = fd;
    m_temporary = false;
    m_destination = destination;
    m_writingPath = destination;
    return nullptr;
}

bool OutputFile::closeFd()
{
    const int fd = m_fd;
    m_fd = -1;
    // Linux releases the descriptor even when close reports an error.
    return ::close(fd) == 0;
}

const char* OutputFile::keep()
{
    if (!isOpen())
        return nullptr;
    if (!m_temporary)
        return closeFd() ? nullptr : kWriteFailed;
    // Synced before the rename: after a crash the name holds either the old
    // file or the whole new one, never a new one the disk has not got yet.
    if (::fsync(m_fd) != 0 || !closeFd()) {
        const int error = errno;
        reportFailure("cannot finish", m_writingPath, error);
        discard();
        return kWriteFailed;
    }
    if (::rename(m_writingPath.c_str(), m_destination.c_str()) != 0) {
        const int error = errno;
        reportFailure(("cannot rename " + m_writingPath + " to").c_str(), m_destination, error);
        discard();
        return kRenameFailed;
    }
    m_temporary = false;
    return nullptr;
}

void OutputFile::discard()
{
    if (isOpen())
        closeFd();
    if (m_temporary && ::unlink(m_writingPath.c_str()) != 0 && errno != ENOENT)
        reportFailure("cannot remove", m_writingPath, errno);
    m_temporary = false;
}

OutputFile::WriteGuard::WriteGuard(const OutputFile& file)
{
    if (!file.isOpen() || file.m_temporary)
        return;
    sigset_t pipe, pending;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigemptyset(&pending);
    sigpending(&pending);
    m_wasPending = sigismember(&pending, SIGPIPE) == 1;
    m_active = pthread_sigmask(SIG_BLOCK, &pipe, &m_oldMask) == 0;
}

OutputFile::WriteGuard::~WriteGuard()
{
    if (!m_active)
        return;
    sigset_t pipe, pending;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigemptyset(&pending);
    // A SIGPIPE our write raised is taken here, before the old mask could
    // deliver it; one that was pending before is left alone.
    if (!m_wasPending && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
        const timespec none{};
        while (sigtimedwait(&pipe, nullptr, &none) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &m_oldMask, nullptr);
}

} // namespace moxel
