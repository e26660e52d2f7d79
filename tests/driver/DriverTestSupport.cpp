#include "DriverTestSupport.h"

#include "pipeline/VideoTables.h"
#include "settings/ProgramFolders.h"

extern "C" {
#include <libavutil/log.h>
}

#include <chrono>
#include <set>
#include <thread>

namespace moxel::test {

void ScriptedPrompt::showMessage(const std::string& title, const std::string& text)
{
    std::lock_guard lock(m_mutex);
    m_entries.push_back({"message", title, text});
}

bool ScriptedPrompt::askYesNo(const std::string& title, const std::string& text)
{
    std::lock_guard lock(m_mutex);
    m_entries.push_back({"yesno", title, text});
    return yesNoAnswer;
}

FileExistsAnswer ScriptedPrompt::askFileExists(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    m_entries.push_back({"exists", "File Exists", text});
    return fileExistsAnswer;
}

std::vector<ScriptedPrompt::Entry> ScriptedPrompt::entries() const
{
    std::lock_guard lock(m_mutex);
    return m_entries;
}

size_t ScriptedPrompt::count(const std::string& kind) const
{
    std::lock_guard lock(m_mutex);
    size_t n = 0;
    for (const Entry& e : m_entries)
        n += e.kind == kind;
    return n;
}

Keys uncompressedKeys(const Keys& extra)
{
    Keys keys = {{"sizefix", "0"},  {"audfmt", "541934416"}, {"vidfmt", "859981650"},
                 {"minsync", "0"},  {"maxsync", "120"},      {"hdrwrite", "1"},
                 {"hdrtoc", "1024"}};
    for (const auto& [key, value] : extra) {
        bool replaced = false;
        for (auto& entry : keys)
            if (entry.first == key) {
                entry.second = value;
                replaced = true;
            }
        if (!replaced)
            keys.emplace_back(key, value);
    }
    return keys;
}

void DriverTest::SetUp()
{
    initVideoTables();
    av_log_set_level(AV_LOG_FATAL);
    // Settings of this test's own, beside a program file in its folder.
    ASSERT_TRUE(initialiseSettings(m_dir.file("moxel")));
    setOpenFailurePauseMs(0);
}

void DriverTest::TearDown()
{
    releaseSettings();
    programFolders().assumeFpsEnabled = true;
    programFolders().assumedFps = 30.0;
}

std::string DriverTest::clip(const std::string& name, const ClipSpec& spec)
{
    const std::string path = m_dir.file(name);
    std::string error;
    EXPECT_TRUE(writeClip(path, spec, &error)) << name << ": " << error;
    return path;
}

std::string DriverTest::profile(const Keys& keys)
{
    static const std::set<std::string> configKeys = {
        "audfmt", "vidfmt", "minsync", "maxsync", "audiosendahead", "hdrwrite", "hdrtoc", "meta"};
    std::string processing = "[kmfencpp]\nfriendly_name=test\n";
    std::string config = "[kmfconfig]\n";
    for (const auto& [key, value] : keys)
        (configKeys.count(key) ? config : processing) += key + "=" + value + "\n";
    const std::string path = m_dir.file("p" + std::to_string(++m_profiles) + ".pf");
    writeFileText(path, processing + config);
    return path;
}

void DriverTest::setSetting(const char* key, int value)
{
    programFolders().settings->setInt(key, value);
}

void waitForWorker(const BatchJob& job)
{
    while (job.workerBlock.workerDone.load(std::memory_order_acquire) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

JobStatus DriverTest::run(BatchJob& job, const std::string& profilePath)
{
    startJob(m_run, job, profilePath, m_prompt);
    waitForWorker(job);
    return job.statusValue();
}

std::unique_ptr<BatchJob> DriverTest::job(const std::string& source, const std::string& dest)
{
    auto record = std::make_unique<BatchJob>();
    record->reset();
    record->sourcePath = source;
    record->destPath = dest;
    return record;
}

KmfSummary DriverTest::convert(const std::string& source, const std::string& profilePath,
                               JobStatus* status)
{
    const std::string dest = source + ".kmf";
    auto record = job(source, dest);
    const JobStatus end = run(*record, profilePath);
    if (status)
        *status = end;
    else
        EXPECT_EQ(end, JobStatus::Complete) << source;
    return summariseKmf(dest);
}

} // namespace moxel::test
