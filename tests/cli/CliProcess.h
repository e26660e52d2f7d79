// Runs moxel-cli as a child process in a folder, with its standard output
// and standard error caught in files, as a program that drives it would.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace moxel::test {

struct CliResult {
    int exitStatus = -1; // -1 when it did not exit normally
    std::string out;
    std::string err;
};

class CliProcess {
  public:
    // Starts program (moxel-cli when empty) with args in folder.
    CliProcess(const std::string& folder, const std::vector<std::string>& args,
               const std::string& program = {});
    ~CliProcess(); // waits for the child if finish() was not called

    void signal(int number);
    pid_t pid() const { return m_pid; } // -1 once finished or when it could not start
    // Waits for the child to end and reads what it wrote.
    CliResult finish();

  private:
    std::string m_out, m_err;
    pid_t m_pid = -1;
};

// Whether text holds part.
bool contains(const std::string& text, const std::string& part);

// Runs moxel-cli to its end.
CliResult runCli(const std::string& folder, const std::vector<std::string>& args);
// Runs kmfinfo on a file to its end.
CliResult runKmfInfo(const std::string& folder, const std::string& file);

} // namespace moxel::test
