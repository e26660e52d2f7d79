// How the engine asks a person something. The engine never shows a window
// itself: the desktop program answers with message boxes, moxel-cli with its
// command-line flags and standard error, the tests with scripted answers.
//
// Calls may come from a job's worker thread; an implementation that needs
// another thread (a GUI) must block the caller until it has the answer.
// notify() is the exception: it needs no answer and never waits, so a job's
// failures never hold up its worker or the queue behind it.
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
    // The same message from a job, shown without making the caller wait
    // (the desktop program lists it in its message window). By default it
    // is shown as showMessage shows it.
    virtual void notify(const std::string& title, const std::string& text)
    {
        showMessage(title, text);
    }
    // A Yes/No question such as "Create new folder?". True for Yes.
    virtual bool askYesNo(const std::string& title, const std::string& text) = 0;
    // The "File Exists" question with its four answers.
    virtual FileExistsAnswer askFileExists(const std::string& text) = 0;
};

} // namespace moxel
