// The engine's questions and messages on the command line: messages are
// printed with their titles, "Create new folder?" is answered by --mkdir,
// "File Exists" by --overwrite, and every other answer is no.
#pragma once

#include "base/Prompt.h"
#include "tools/moxel-cli/Console.h"

namespace moxel::cli {

class CliPrompt : public Prompt {
  public:
    CliPrompt(Console& console, bool overwrite, bool mkdir)
        : m_console(console), m_overwrite(overwrite), m_mkdir(mkdir)
    {
    }

    void showMessage(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    FileExistsAnswer askFileExists(const std::string& text) override;

  private:
    Console& m_console;
    bool m_overwrite;
    bool m_mkdir;
};

} // namespace moxel::cli
