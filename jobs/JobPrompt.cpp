#include "jobs/JobPrompt.h"

#include "base/DiagnosticSink.h"
#include "jobs/JobLog.h"

namespace moxel {

void JobPrompt::showMessage(const std::string& title, const std::string& text)
{
    notify(title, text);
}

void JobPrompt::notify(const std::string& title, const std::string& text)
{
    m_log.addMessage(title, text);
    if (m_target)
        m_target->notify(title, text);
    else // the log has the line already; the console gets it as before
        writeProcessDiagnostic(kMessageDiagnostics, DiagnosticLevel::Error, title + ": " + text);
}

bool JobPrompt::askYesNo(const std::string& title, const std::string& text)
{
    const bool yes = m_target && m_target->askYesNo(title, text);
    m_log.keepLine(DiagnosticLevel::Info, title + ": " + text + (yes ? "\n-> Yes" : "\n-> No"));
    return yes;
}

FileExistsAnswer JobPrompt::askFileExists(const std::string& text)
{
    static const char* const kAnswers[] = {"Yes", "Overwrite All Files", "No", "Cancel job"};
    const FileExistsAnswer answer = m_target ? m_target->askFileExists(text) : FileExistsAnswer::No;
    m_log.keepLine(DiagnosticLevel::Info,
                   "File Exists: " + text + "\n-> " + kAnswers[size_t(answer)]);
    return answer;
}

} // namespace moxel
