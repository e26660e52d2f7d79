#include "SoakSupport.h"

#include "support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

namespace moxel::test {

bool soakSanitized()
{
#ifdef MOXEL_SOAK_SANITIZED
    return true;
#else
    return false;
#endif
}

int soakCount(const char* env, int normal, int sanitized)
{
    if (const char* text = std::getenv(env)) {
        const int value = std::atoi(text);
        if (value > 0)
            return value;
    }
    return soakSanitized() ? sanitized : normal;
}

uint64_t soakSeed()
{
    if (const char* text = std::getenv("MOXEL_SOAK_SEED"))
        return std::strtoull(text, nullptr, 10);
    return 20261207;
}

namespace {

bool waitUntil(const BatchJob& job, std::chrono::steady_clock::time_point deadline)
{
    while (job.workerBlock.workerDone.load(std::memory_order_acquire) == 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

JobStatus runWithWatchdog(BatchRunState& run, BatchJob& job, const std::string& profilePath,
                          Prompt& prompt, std::chrono::milliseconds limit, bool* timedOut)
{
    const auto start = std::chrono::steady_clock::now();
    startJob(run, job, profilePath, prompt);
    *timedOut = !waitUntil(job, start + limit);
    if (*timedOut) {
        job.workerBlock.abortRequested.store(1, std::memory_order_release);
        if (!waitUntil(job, std::chrono::steady_clock::now() + std::chrono::seconds(30))) {
            std::fprintf(stderr, "watchdog: the job on %s neither ended nor aborted\n",
                         job.sourcePath.c_str());
            std::abort();
        }
    }
    return job.statusValue();
}

std::string rawProfileWith(const std::map<std::string, std::string>& values)
{
    std::istringstream in(readFileText(MOXEL_SAMPLE_PROFILES "/uncompressed-rgb-pcm.pf"));
    std::string out, line;
    while (std::getline(in, line)) {
        const auto it = values.find(line.substr(0, line.find('=')));
        out += (it == values.end() ? line : it->first + "=" + it->second) + "\n";
    }
    return out;
}

std::string installCli(const std::string& folder, const std::string& profileText)
{
    namespace fs = std::filesystem;
    const std::string program = folder + "/bin/moxel-cli";
    fs::create_directories(folder + "/bin/Profiles");
    fs::copy_file(MOXEL_CLI_PATH, program, fs::copy_options::overwrite_existing);
    fs::permissions(program, fs::perms::owner_all);
    writeFileText(folder + "/bin/Profiles/soak.pf", profileText);
    writeFileText(folder + "/bin/Profiles/index.txt",
                  "[config]\nnum_profiles=1\nprofile0=soak.pf\n");
    return program;
}

std::string messageWith(const ScriptedPrompt& prompt, const std::string& part)
{
    for (const ScriptedPrompt::Entry& e : prompt.entries())
        if (e.text.find(part) != std::string::npos || e.title.find(part) != std::string::npos)
            return e.title + ": " + e.text;
    return {};
}

} // namespace moxel::test
