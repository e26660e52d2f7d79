#include "CliProcess.h"

#include "support/TempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace moxel::test {

CliProcess::CliProcess(const std::string& folder, const std::vector<std::string>& args,
                       const std::string& program)
    : m_out(folder + "/cli-stdout.txt"), m_err(folder + "/cli-stderr.txt")
{
    std::vector<std::string> argv = {program.empty() ? std::string(MOXEL_CLI_PATH) : program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv)
        pointers.push_back(a.data());
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    if (posix_spawn(&m_pid, pointers[0], &actions, nullptr, pointers.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

CliProcess::~CliProcess()
{
    if (m_pid > 0)
        finish();
}

void CliProcess::signal(int number)
{
    if (m_pid > 0)
        kill(m_pid, number);
}

CliResult CliProcess::finish()
{
    CliResult result;
    if (m_pid <= 0)
        return result;
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    result.out = readFileText(m_out);
    result.err = readFileText(m_err);
    return result;
}

CliResult runCli(const std::string& folder, const std::vector<std::string>& args)
{
    return CliProcess(folder, args).finish();
}

} // namespace moxel::test

namespace moxel::test {

CliResult runKmfInfo(const std::string& folder, const std::string& file)
{
    return CliProcess(folder, {file}, KMFINFO_PATH).finish();
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace moxel::test
