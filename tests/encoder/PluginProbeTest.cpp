// The trial load runs in a program of its own, started without forking the
// caller: it works while another thread holds a lock a forked child would
// inherit held, it is found beside the program or library that asks for it,
// and without it nothing is loaded untried.
#include "encoder/PluginProbe.h"
#include "encoder/CodecPlugins.h"
#include "support/TempDir.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <link.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace moxel;
using namespace moxel::test;

namespace fs = std::filesystem;

namespace {

const fs::path kPluginDir = MOXEL_TEST_PLUGIN_DIR;
const fs::path kHelper = MOXEL_PLUGIN_PROBE;
const fs::path kListProgram = MOXEL_TEST_PLUGIN_LIST;
const fs::path kProbeLibrary = MOXEL_TEST_PROBE_LIBRARY;

std::atomic<int> g_forks{0};

void countFork()
{
    ++g_forks;
}

// Keeps one thread inside a dl_iterate_phdr callback, which holds the dynamic
// loader's list lock: a child forked meanwhile inherits that lock held and
// hangs in its first dlopen.
class LoaderListHeld {
  public:
    LoaderListHeld() : m_thread([this] { dl_iterate_phdr(&LoaderListHeld::hold, this); })
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_holding; });
    }
    ~LoaderListHeld()
    {
        {
            std::lock_guard lock(m_mutex);
            m_release = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

  private:
    static int hold(dl_phdr_info*, size_t, void* self)
    {
        auto* me = static_cast<LoaderListHeld*>(self);
        std::unique_lock lock(me->m_mutex);
        me->m_holding = true;
        me->m_changed.notify_all();
        // Bounded, so a probe that does need the lock fails instead of hanging the suite.
        me->m_changed.wait_for(lock, std::chrono::seconds(60), [me] { return me->m_release; });
        return 1;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_holding = false;
    bool m_release = false;
    std::thread m_thread;
};

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs program with no arguments, its output into files of dir.
RunResult run(const fs::path& program, const TempDir& dir)
{
    RunResult result;
    const std::string out = dir.file("out.txt");
    const std::string err = dir.file("err.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string path = program.string();
    char* argv[] = {path.data(), nullptr};
    pid_t pid = -1;
    int failed = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0 || waitpid(pid, &result.status, 0) != pid)
        return result;
    result.out = readFileText(out);
    result.err = readFileText(err);
    return result;
}

// The running trial program started by a thread of this process, or 0 when
// none shows up within the time given.
pid_t findTrialProgram(std::chrono::milliseconds within)
{
    auto deadline = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        for (const fs::directory_entry& task : fs::directory_iterator("/proc/self/task", ec)) {
            std::ifstream children(task.path() / "children");
            for (pid_t child = 0; children >> child;) {
                std::string comm;
                std::getline(std::ifstream("/proc/" + std::to_string(child) + "/comm"), comm);
                if (comm == std::string(kPluginProbeProgram).substr(0, 15))
                    return child;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 0;
}

// The signal set of a "Name:\t<hex>" line of /proc/<pid>/status, cut to
// the classic signals 1 to 31: the C library keeps two signals above them
// for itself and sets them up in the new program as it sees fit.
uint64_t classicSignals(pid_t pid, const std::string& name)
{
    std::string status = readFileText("/proc/" + std::to_string(pid) + "/status");
    size_t at = status.find("\n" + name + ":\t");
    if (at == std::string::npos)
        return ~uint64_t(0);
    return std::stoull(status.substr(at + name.size() + 3, 16), nullptr, 16) & 0x7fffffffu;
}

} // namespace

TEST(PluginProbe, TriesLibrariesWithoutForkingTheCaller)
{
    static std::once_flag once;
    std::call_once(once, [] { pthread_atfork(&countFork, nullptr, nullptr); });
    const int forksBefore = g_forks;

    PluginProbeResult good, crashing, hanging;
    {
        LoaderListHeld held;
        good = probeCodecPlugin((kPluginDir / "kmf_coder_zztest.so").string(), 5000);
        crashing = probeCodecPlugin((kPluginDir / "kmf_coder_zzbadabort.so").string(), 5000);
        hanging = probeCodecPlugin((kPluginDir / "kmf_coder_zzbadhang.so").string(), 200);
    }
    EXPECT_EQ(g_forks, forksBefore);
    EXPECT_TRUE(good.ok) << good.reason;
    EXPECT_FALSE(crashing.ok);
    EXPECT_NE(crashing.reason.find("crashed on its trial load"), std::string::npos)
        << crashing.reason;
    EXPECT_FALSE(hanging.ok);
    EXPECT_NE(hanging.reason.find("within 200 ms"), std::string::npos) << hanging.reason;

    // Every trial program was waited for: none is left to reap.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

// What the trial program is given of the caller, looked at while it hangs in a
// library's constructor: the standard streams and its report, no other
// descriptor, and no blocked or ignored signal.
TEST(PluginProbe, TheTrialProgramInheritsNothingElse)
{
    int leaky[2];
    ASSERT_EQ(pipe(leaky), 0); // without close-on-exec, as some libraries open files
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGUSR2, &ignore, &previous), 0);

    PluginProbeResult probe;
    std::thread caller([&probe] {
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
        probe = probeCodecPlugin((kPluginDir / "kmf_coder_zzbadhang.so").string());
    });
    pid_t trial = findTrialProgram(std::chrono::seconds(8));
    std::vector<std::string> fds;
    uint64_t blockedSignals = 0, ignoredSignals = 0;
    if (trial != 0) {
        // While the dynamic loader maps libraries it holds one more
        // descriptor for a moment: look until the list settles.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        do {
            fds.clear();
            std::error_code ec;
            for (const fs::directory_entry& fd :
                 fs::directory_iterator("/proc/" + std::to_string(trial) + "/fd", ec))
                fds.push_back(fd.path().filename().string() + " " +
                              fs::read_symlink(fd.path(), ec).string());
        } while (fds.size() != 4 && std::chrono::steady_clock::now() < deadline);
        std::sort(fds.begin(), fds.end());
        blockedSignals = classicSignals(trial, "SigBlk");
        ignoredSignals = classicSignals(trial, "SigIgn");
        kill(trial, SIGKILL); // no need to sit out the time limit
    }
    caller.join();
    sigaction(SIGUSR2, &previous, nullptr);
    close(leaky[0]);
    close(leaky[1]);

    ASSERT_NE(trial, 0) << "the trial program never showed up";
    ASSERT_EQ(fds.size(), 4u) << testing::PrintToString(fds);
    EXPECT_EQ(fds[0], "0 /dev/null");
    EXPECT_EQ(fds[1], "1 /dev/null");
    EXPECT_EQ(fds[2], "2 /dev/null");
    EXPECT_EQ(fds[3].rfind("3 pipe:", 0), 0u) << fds[3];
    EXPECT_EQ(blockedSignals, 0u);
    EXPECT_EQ(ignoredSignals, 0u);
    EXPECT_FALSE(probe.ok);
    EXPECT_NE(probe.reason.find("crashed on its trial load (signal 9"), std::string::npos)
        << probe.reason;
    EXPECT_EQ(kill(trial, 0), -1) << "reaped";
}

TEST(PluginProbe, TheTrialProgramLiesBesideTheProgramOrLibraryThatLoads)
{
    EXPECT_EQ(fs::path(pluginProbeProgram()), fs::path(executableFolder()) / kPluginProbeProgram);
    EXPECT_EQ(fs::path(pluginProbeProgram()), kHelper);

    // A library with its own copy of the loader, as the profile editor has.
    TempDir dir;
    fs::copy_file(kProbeLibrary, dir.path() / "libprobe.so");
    void* library = dlopen((dir.path() / "libprobe.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    using HelperPathFn = int (*)(char*, int);
    auto helperPath = reinterpret_cast<HelperPathFn>(dlsym(library, "ProbeTestHelperPath"));
    ASSERT_NE(helperPath, nullptr);
    char path[4096] = {};
    ASSERT_GT(helperPath(path, int(sizeof path)), 0);
    EXPECT_EQ(fs::path(path), dir.path() / kPluginProbeProgram);
    dlclose(library);
}

TEST(PluginProbe, WithoutTheTrialProgramNothingIsLoaded)
{
    const fs::path missing = kPluginDir / "no-such-folder" / kPluginProbeProgram;
    PluginProbeResult probe =
        probeCodecPlugin((kPluginDir / "kmf_coder_zztest.so").string(), 5000, missing.string());
    EXPECT_FALSE(probe.ok);
    EXPECT_NE(probe.reason.find(missing.string()), std::string::npos) << probe.reason;

    // The program's loader in a folder of its own, with a plug-in beside it.
    TempDir dir;
    const fs::path program = dir.path() / "plugin-list";
    fs::copy_file(kListProgram, program, fs::copy_options::none);
    fs::copy_file(kPluginDir / "kmf_coder_zztest.so", dir.path() / "kmf_coder_beside.so");
    TempDir output;
    RunResult without = run(program, output);
    ASSERT_TRUE(WIFEXITED(without.status) && WEXITSTATUS(without.status) == 0) << without.status;
    EXPECT_EQ(without.out, "") << "a plug-in was loaded untried";
    EXPECT_EQ(without.err, "codec plug-ins: skipping " +
                               (dir.path() / "kmf_coder_beside.so").string() + ": cannot try it: " +
                               (dir.path() / kPluginProbeProgram).string() + " is missing\n");

    fs::copy_file(kHelper, dir.path() / kPluginProbeProgram);
    RunResult with = run(program, output);
    EXPECT_EQ(with.out, (dir.path() / "kmf_coder_beside.so").string() + "\n");
    EXPECT_EQ(with.err, "");
}
