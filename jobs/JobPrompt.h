// The prompt a job's start, worker and source are given: every message
// ("ERROR", "encoding error:", the sources' "Error") is recorded in the
// job's log as its error text and handed on to the program's prompt with
// notify(), which never waits, so a failing job ends at once and the queue
// goes on. Questions ("Create new folder?", "File Exists") are passed on as
// they are and wait for their answer; the question and the answer go into
// the job's lines, so a skipped job says why.
//
// The job start sets the program's prompt before the worker starts; the
// worker and the source's threads then only call it.
#pragma once

#include "base/Prompt.h"

namespace moxel {

class JobLog;

class JobPrompt : public Prompt {
  public:
    explicit JobPrompt(JobLog& log) : m_log(log) {}

    // Where messages and questions go on to; null: messages go to the
    // process-wide diagnostic sink and questions are answered no.
    void setTarget(Prompt* target) { m_target = target; }

    void showMessage(const std::string& title, const std::string& text) override;
    void notify(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    FileExistsAnswer askFileExists(const std::string& text) override;

  private:
    JobLog& m_log;
    Prompt* m_target = nullptr;
};

} // namespace moxel
