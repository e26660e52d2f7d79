#include "bench/cli/CommandRun.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

namespace moxel::bench {
namespace {

// Parent pid and resident KiB of one process, from /proc/PID/status.
bool readStatus(const std::filesystem::path& folder, int& parent, long& residentKiB)
{
    std::ifstream in(folder / "status");
    std::string line;
    parent = -1;
    residentKiB = 0;
    while (std::getline(in, line)) {
        if (line.rfind("PPid:", 0) == 0)
            parent = std::atoi(line.c_str() + 5);
        else if (line.rfind("VmRSS:", 0) == 0)
            residentKiB = std::atol(line.c_str() + 6);
    }
    return parent >= 0;
}

} // namespace

long treeResidentKiB(int pid)
{
    std::map<int, std::pair<int, long>> processes; // pid -> (parent, KiB)
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit))
            continue;
        int parent = 0;
        long kib = 0;
        if (readStatus(entry.path(), parent, kib))
            processes[std::atoi(name.c_str())] = {parent, kib};
    }
    long total = 0;
    for (const auto& [id, info] : processes) {
        // Walk up until pid or the top; the tree is shallow.
        int at = id;
        for (int depth = 0; depth < 64 && at > 1 && at != pid; ++depth) {
            const auto up = processes.find(at);
            at = up == processes.end() ? 0 : up->second.first;
        }
        if (at == pid)
            total += info.second;
    }
    return total;
}

Measure runCommand(const std::vector<std::string>& args, const std::string& log, bool sampleTree)
{
    Measure m;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        FILE* out = std::fopen(log.c_str(), "a");
        if (out) {
            dup2(fileno(out), 1);
            dup2(fileno(out), 2);
        }
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0)
        return m;

    std::atomic<bool> done{false};
    std::atomic<long> treePeak{0};
    std::thread sampler;
    if (sampleTree)
        sampler = std::thread([&] {
            while (!done.load()) {
                treePeak.store(std::max(treePeak.load(), treeResidentKiB(pid)));
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    int status = 0;
    rusage usage{};
    const pid_t waited = wait4(pid, &status, 0, &usage);
    done.store(true);
    if (sampler.joinable())
        sampler.join();
    if (waited < 0)
        return m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKiB = sampleTree ? std::max(treePeak.load(), long(usage.ru_maxrss)) : usage.ru_maxrss;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

} // namespace moxel::bench
