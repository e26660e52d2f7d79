// How the engine asks a person something. The engine never shows a window
// itself: the desktop program answers with message boxes, moxel-cli with its
// command-line flags and standard error, the tests with scripted answers.
//
// Calls may come from a job's worker thread; an implementation that needs
// another thread (a GUI) must block the caller until it has the answer.
// Texts use '\n' for line breaks.
#pragma once

#include <string>

namespace moxel {

enum class FileExistsAnswer {
    Yes,          // overwrite this file (also the dialog's close box)
    OverwriteAll, // overwrite without asking for the rest of the run
    No,           // skip this job
    CancelJob,    // skip this job and abort the remaining queued jobs (also Escape)
};

class Prompt {
  public:
    virtual ~Prompt() = default;
    // A message box with one OK button, e.g. title "ERROR" or "Error".
    virtual void showMessage(const std::string& title, const std::string& text) = 0;
    // A Yes/No question such as "Create new folder?". True for Yes.
    virtual bool askYesNo(const std::string& title, const std::string& text) = 0;
    // The "File Exists" question with its four answers.
    virtual FileExistsAnswer askFileExists(const std::string& text) = 0;
};

} // namespace moxel
