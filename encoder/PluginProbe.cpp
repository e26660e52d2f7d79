#include "encoder/PluginProbe.h"

#include "encoder/KmfCoderPlugin.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace moxel {

namespace {

constexpr const char* kProbeOk = "ok";

// In the child: say why, then end at once (no exit handlers, no flushing of
// buffers the program filled before the fork).
[[noreturn]] void report(int fd, const char* text, int status)
{
    size_t length = std::strlen(text);
    while (length > 0) {
        ssize_t n = ::write(fd, text, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text += n;
        length -= size_t(n);
    }
    _exit(status);
}

void listTypes(void* handle, const char* entry)
{
    auto getTypes = reinterpret_cast<KmfGetTypes3Fn>(dlsym(handle, entry));
    if (!getTypes)
        return;
    for (int index = 0; index < kMaxTypesPerPlugin; ++index) {
        char name[kCoderTypeNameSize] = {};
        if (getTypes(index, name) == 0)
            return;
    }
}

[[noreturn]] void probeInChild(const std::string& path, int fd)
{
    // The plug-in's own output, and any crash report, stay out of the program's.
    int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        report(fd, why ? why : "cannot load", 1);
    }
    bool anyEntry = false;
    for (const char* entry : kCodecPluginEntries)
        anyEntry = anyEntry || dlsym(handle, entry) != nullptr;
    if (!anyEntry)
        report(fd, "it exports none of the codec plug-in entries", 1);
    listTypes(handle, "GetVideoTypes3");
    listTypes(handle, "GetAudioTypes3");
    report(fd, kProbeOk, 0);
}

// Reads what the child says until it closes its end or the time is up.
bool readReport(int fd, int timeoutMs, std::string& text)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[512];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return true;
        if (text.size() < 4096)
            text.append(buffer, size_t(n));
    }
}

std::string describeEnd(int status)
{
    if (WIFSIGNALED(status)) {
        const char* name = strsignal(WTERMSIG(status));
        return "it crashed on its trial load (signal " + std::to_string(WTERMSIG(status)) +
               (name ? std::string(", ") + name : std::string()) + ")";
    }
    if (WIFEXITED(status))
        return "it ended the process on its trial load (exit status " +
               std::to_string(WEXITSTATUS(status)) + ")";
    return "its trial load failed";
}

} // namespace

PluginProbeResult probeCodecPlugin(const std::string& path, int timeoutMs)
{
    PluginProbeResult result;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.reason = std::string("cannot try it: ") + std::strerror(errno);
        return result;
    }
    pid_t pid = ::fork();
    if (pid < 0) {
        result.reason = std::string("cannot try it: ") + std::strerror(errno);
        ::close(fds[0]);
        ::close(fds[1]);
        return result;
    }
    if (pid == 0) {
        ::close(fds[0]);
        probeInChild(path, fds[1]);
    }
    ::close(fds[1]);
    std::string text;
    bool finished = readReport(fds[0], timeoutMs, text);
    ::close(fds[0]);
    if (!finished)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    if (!finished) {
        result.reason = "it did not finish loading within " + std::to_string(timeoutMs) + " ms";
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && text == kProbeOk) {
        result.ok = true;
    } else if (!text.empty() && text != kProbeOk) {
        result.reason = text;
    } else {
        result.reason = describeEnd(status);
    }
    return result;
}

} // namespace moxel
