#include "encoder/PluginProbe.h"

#include "encoder/CodecPlugins.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

extern char** environ;

namespace moxel {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline)
{
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// Reads what the trial program says until it closes its end or the time is up.
bool readReport(int fd, Clock::time_point deadline, std::string& text)
{
    for (;;) {
        int left = msLeft(deadline);
        if (left == 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, left);
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

// Waits for the program to end until the deadline, then kills it; it is
// always reaped. False when it had to be killed.
bool reap(pid_t pid, Clock::time_point deadline, int& status)
{
    bool inTime = true;
    for (;;) {
        pid_t done = ::waitpid(pid, &status, inTime ? WNOHANG : 0);
        if (done == pid)
            return inTime;
        if (done < 0 && errno != EINTR)
            return inTime; // not ours to wait for any more: nothing left to reap
        if (done == 0 && inTime) {
            // It closed its report, so it is ending: this rarely loops.
            if (msLeft(deadline) == 0) {
                ::kill(pid, SIGKILL);
                inTime = false;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
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

std::string cannotTry(int error)
{
    return std::string("cannot try it: ") + std::strerror(error);
}

// Starts program on path with the write end of the report pipe as
// kPluginProbeReportFd, the standard streams on /dev/null and nothing else
// of the caller: no other descriptor, no blocked or ignored signal.
int spawnProbe(const std::string& program, const std::string& path, int reportFd, pid_t& pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    int error = posix_spawn_file_actions_init(&actions);
    if (error != 0)
        return error;
    error = posix_spawnattr_init(&attributes);
    if (error != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return error;
    }
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    // The report end moves first, in case it sits on a standard descriptor.
    int steps[] = {
        posix_spawn_file_actions_adddup2(&actions, reportFd, kPluginProbeReportFd),
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0),
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0),
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO),
        posix_spawn_file_actions_addclosefrom_np(&actions, kPluginProbeReportFd + 1),
        posix_spawnattr_setsigmask(&attributes, &none),
        posix_spawnattr_setsigdefault(&attributes, &all),
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF),
    };
    for (int step : steps)
        if (step != 0 && error == 0)
            error = step;
    if (error == 0) {
        std::string programArg = program;
        std::string pathArg = path;
        char* argv[] = {programArg.data(), pathArg.data(), nullptr};
        error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

} // namespace

std::string pluginProbeProgram()
{
    // The object that holds this very function: the program, or a shared
    // library with its own copy of the loader. The main program has no name
    // in the loader's list, and dladdr gives its argv[0], so it is found
    // through /proc instead.
    Dl_info info{};
    link_map* object = nullptr;
    std::string folder;
    if (dladdr1(reinterpret_cast<void*>(&msLeft), &info, reinterpret_cast<void**>(&object),
                RTLD_DL_LINKMAP) != 0 &&
        object && object->l_name && *object->l_name) {
        std::error_code ec;
        std::filesystem::path file = std::filesystem::absolute(object->l_name, ec);
        if (!ec)
            folder = file.parent_path().string();
    }
    if (folder.empty())
        folder = executableFolder();
    if (folder.empty())
        return {};
    return (std::filesystem::path(folder) / kPluginProbeProgram).string();
}

PluginProbeResult probeCodecPlugin(const std::string& path, int timeoutMs,
                                   const std::string& program)
{
    PluginProbeResult result;
    const std::string helper = program.empty() ? pluginProbeProgram() : program;
    if (helper.empty()) {
        result.reason = "cannot try it: the folder of its trial program is unknown";
        return result;
    }
    if (::access(helper.c_str(), F_OK) != 0 && errno == ENOENT) {
        result.reason = "cannot try it: " + helper + " is missing";
        return result;
    }

    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.reason = cannotTry(errno);
        return result;
    }
    pid_t pid = -1;
    int error = spawnProbe(helper, path, fds[1], pid);
    ::close(fds[1]);
    if (error != 0) {
        ::close(fds[0]);
        result.reason = cannotTry(error) + " (" + helper + ")";
        return result;
    }
    std::string text;
    bool finished = readReport(fds[0], deadline, text);
    ::close(fds[0]);
    if (!finished)
        ::kill(pid, SIGKILL);
    int status = 0;
    finished = reap(pid, deadline, status) && finished;

    if (!finished) {
        result.reason = "it did not finish loading within " + std::to_string(timeoutMs) + " ms";
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && text == kPluginProbeOk) {
        result.ok = true;
    } else if (!text.empty() && text != kPluginProbeOk) {
        result.reason = text;
    } else {
        result.reason = describeEnd(status);
    }
    return result;
}

} // namespace moxel
