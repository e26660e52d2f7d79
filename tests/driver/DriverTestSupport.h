// Helpers of the job start's and the worker's tests: a prompt with scripted answers
// that records what it was asked, profile files with both sections, a
// fixture with its own settings, and a job run from start to settling.
#pragma once

#include "base/Prompt.h"
#include "jobs/BatchJob.h"
#include "jobs/JobStart.h"
#include "jobs/JobWorker.h"
#include "support/ClipWriter.h"
#include "support/KmfSummary.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace moxel::test {

class ScriptedPrompt : public Prompt {
  public:
    struct Entry {
        std::string kind; // "message", "yesno", "exists"
        std::string title, text;
    };
    void showMessage(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    FileExistsAnswer askFileExists(const std::string& text) override;

    std::vector<Entry> entries() const;
    size_t count(const std::string& kind) const;

    bool yesNoAnswer = true;
    FileExistsAnswer fileExistsAnswer = FileExistsAnswer::Yes;

  private:
    mutable std::mutex m_mutex; // the worker shows messages from its thread
    std::vector<Entry> m_entries;
};

using Keys = std::vector<std::pair<std::string, std::string>>;

// Uncompressed output ("RGB3", "PCM "), a header with a TOC, every frame a
// sync frame; processing keys as given (sizefix 0 unless named).
Keys uncompressedKeys(const Keys& extra = {});

class DriverTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string clip(const std::string& name, const ClipSpec& spec);
    // A profile with "kmfencpp" and "kmfconfig" keys mixed: each key goes to
    // the section it belongs to.
    std::string profile(const Keys& keys);
    std::string file(const std::string& name) const { return m_dir.file(name); }
    void setSetting(const char* key, int value);

    // Starts the job and waits until its worker has finished.
    JobStatus run(BatchJob& job, const std::string& profilePath);
    // A new job record for source and destination.
    std::unique_ptr<BatchJob> job(const std::string& source, const std::string& dest);
    // Converts source to name.kmf with the profile and returns the summary;
    // the job's end status goes to *status.
    KmfSummary convert(const std::string& source, const std::string& profilePath,
                       JobStatus* status = nullptr);

    TempDir m_dir;
    ScriptedPrompt m_prompt;
    BatchRunState m_run;
    int m_profiles = 0;
};

// Waits (a short sleep per look) until the job's worker has finished.
void waitForWorker(const BatchJob& job);

} // namespace moxel::test
