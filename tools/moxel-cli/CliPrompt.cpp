#include "tools/moxel-cli/CliPrompt.h"

namespace moxel::cli {

void CliPrompt::showMessage(const std::string& title, const std::string& text)
{
    m_console.message(title + ": " + text);
}

bool CliPrompt::askYesNo(const std::string& title, const std::string& text)
{
    const bool yes = m_mkdir && title == "Create new folder?";
    if (yes)
        m_console.message(title + ": " + text + "\n-> yes (--mkdir)");
    else if (title == "Create new folder?")
        m_console.message(title + ": " + text + "\n-> no, the job is skipped (--mkdir creates it)");
    else
        m_console.message(title + ": " + text + "\n-> no");
    return yes;
}

FileExistsAnswer CliPrompt::askFileExists(const std::string& text)
{
    if (m_overwrite)
        return FileExistsAnswer::Yes;
    // What follows the blank line is about the dialog's buttons.
    const size_t question = text.find("\n\n");
    m_console.message("File Exists: " + text.substr(0, question) +
                      "\n-> no, the job is skipped (--overwrite replaces it)");
    return FileExistsAnswer::No;
}

} // namespace moxel::cli
