#include "BatchTestSupport.h"

#include "jobs/BatchCommands.h"
#include "jobs/BatchFile.h"

#include <gtest/gtest.h>

using namespace moxel;
using namespace moxel::test;

namespace {

struct FileFixture : CommandsFixture {
    FileFixture() : CommandsFixture({"(Default)", "Web 256k"}) {}
};

const char* const kTwoJobs = "/m/ep 1.avi\t/o/ep 1.kmf\t(Default)\r\n"
                             "/m/ep2.avi\t/o/ep2.kmf\tWeb 256k\r\n";

TEST(SaveBatch, WritesEveryJobInTheExactFormat)
{
    FileFixture f;
    f.commands.saveBatch();
    EXPECT_TRUE(f.dialogs.titles.empty()); // an empty list shows no dialog

    f.add("/m/ep 1.avi", "/o/ep 1.kmf", 0).setStatus(JobStatus::Complete);
    f.add("/m/ep2.avi", "/o/ep2.kmf", 1);
    f.list.rebuildView();
    const std::string path = f.dir.file("KMFbatch.txt");
    f.dialogs.saveFiles.push_back(path);
    f.settings.setString("batch_load_dir", "/batches");
    f.commands.saveBatch();
    EXPECT_EQ(f.dialogs.titles.back(), "Save Batch");
    EXPECT_EQ(f.dialogs.initialFolders.back(), "/batches");
    EXPECT_EQ(f.dialogs.proposedPaths.back(), "/batches/KMFbatch.txt");
    EXPECT_EQ(readFileText(path), kTwoJobs);
    EXPECT_TRUE(f.prompt.messages.empty());
    EXPECT_EQ(f.settings.getString("batch_load_dir", ""), "/batches");
}

TEST(SaveBatch, AFileThatCannotBeCreatedIsReported)
{
    FileFixture f;
    f.add("/m/a.avi", "/o/a.kmf", 0);
    f.dialogs.saveFiles.push_back(f.dir.file("no such folder/b.txt"));
    f.commands.saveBatch();
    ASSERT_EQ(f.prompt.messages.size(), 1u);
    EXPECT_EQ(f.prompt.messages[0].title, "Error");
    EXPECT_NE(f.prompt.messages[0].text.find("no such folder/b.txt"), std::string::npos);
}

TEST(SaveBatch, JobsThatCannotBeOneLineAreLeftOutAndNamed)
{
    FileFixture f;
    f.add("/m/tab\there.avi", "/o/a.kmf", 0);
    f.add("/m/b.avi", "/o/line\nbreak.kmf", 0);
    f.add("/m/c.avi", "/o/c.kmf", 0);
    const std::string path = f.dir.file("b.txt");
    ASSERT_TRUE(f.commands.writeBatchFile(path, false));
    EXPECT_EQ(readFileText(path), "/m/c.avi\t/o/c.kmf\t(Default)\r\n");
    ASSERT_EQ(f.prompt.messages.size(), 1u);
    EXPECT_NE(f.prompt.messages[0].text.find("/m/tab\there.avi"), std::string::npos);
    EXPECT_NE(f.prompt.messages[0].text.find("/m/b.avi"), std::string::npos);
}

TEST(LoadBatch, ReadsASavedBatchBackAndReplacesTheIdleJobs)
{
    FileFixture f;
    const std::string path = f.dir.file("batch.txt");
    writeFileText(path, kTwoJobs);
    f.add("/m/old.avi", "/o/old.kmf", 0);
    BatchJob& running = f.add("/m/running.avi", "/o/running.kmf", 1);
    running.setStatus(JobStatus::Encoding);

    EXPECT_EQ(f.commands.loadBatchFile(path), 2);
    ASSERT_EQ(f.list.count(), 3);
    EXPECT_EQ(&f.list.job(0), &running); // a running job stays
    EXPECT_EQ(f.list.job(1).sourcePath, "/m/ep 1.avi");
    EXPECT_EQ(f.list.job(1).destPath, "/o/ep 1.kmf");
    EXPECT_EQ(f.list.job(1).profileIndex, 0);
    EXPECT_EQ(f.list.job(2).profileIndex, 1);
    EXPECT_EQ(f.list.job(2).statusValue(), JobStatus::Idle);
    EXPECT_EQ(f.view.rowCount(), 3);
    EXPECT_TRUE(f.prompt.messages.empty());

    // Saved again, the same bytes come out.
    f.list.removeJobs(true);
    running.setStatus(JobStatus::Idle);
    f.list.removeJobs(true);
    f.commands.loadBatchFile(path);
    const std::string again = f.dir.file("again.txt");
    ASSERT_TRUE(f.commands.writeBatchFile(again, false));
    EXPECT_EQ(readFileText(again), kTwoJobs);
}

TEST(LoadBatch, BadLinesAreReportedWithFileAndLineAndSkipped)
{
    FileFixture f;
    const std::string path = f.dir.file("mixed.txt");
    writeFileText(path, "/m/a.avi\t/o/a.kmf\t(Default)\n"
                        "just some text\n"
                        "\n"
                        "/m/b.avi\t/o/b.kmf\tNo Such Profile\r\n"
                        "/m/c.avi\t/o/c.kmf\tweb 256k\r\n"
                        "/m/d.avi\t\t(Default)\r\n"
                        "/m/e.avi\t/o/e.kmf\tWeb 256k\textra\r\n"
                        "/m/f.avi\t/o/f.kmf\tWeb 256k");
    EXPECT_EQ(f.commands.importBatchFile(path), 2);
    ASSERT_EQ(f.list.count(), 2);
    EXPECT_EQ(f.list.job(0).sourcePath, "/m/a.avi");
    EXPECT_EQ(f.list.job(1).sourcePath, "/m/f.avi");
    ASSERT_EQ(f.prompt.messages.size(), 1u);
    EXPECT_EQ(f.prompt.messages[0].title, "Error");
    const std::string& text = f.prompt.messages[0].text;
    for (int line : {2, 4, 5, 6, 7})
        EXPECT_NE(text.find(path + ":" + std::to_string(line) + ": "), std::string::npos) << line;
    EXPECT_EQ(text.find(path + ":3:"), std::string::npos);
    EXPECT_NE(text.find("\"No Such Profile\""), std::string::npos);
    EXPECT_LT(text.find(path + ":2:"), text.find(path + ":4:")); // in line order
}

TEST(LoadBatch, AFileThatCannotBeReadChangesNothing)
{
    FileFixture f;
    f.add("/m/a.avi", "/o/a.kmf", 0);
    EXPECT_EQ(f.commands.loadBatchFile(f.dir.file("missing.txt")), -1);
    EXPECT_EQ(f.list.count(), 1);
    EXPECT_EQ(f.prompt.messages.at(0).title, "Error");
}

TEST(ImportBatch, AppendsAndExportSelectedWritesTheSelection)
{
    FileFixture f;
    const std::string path = f.dir.file("batch.txt");
    writeFileText(path, kTwoJobs);
    f.add("/m/first.avi", "/o/first.kmf", 1);
    f.list.rebuildView();
    f.dialogs.openFiles.push_back({path});
    f.commands.importBatch();
    EXPECT_EQ(f.dialogs.titles.back(), "Import Batch");
    ASSERT_EQ(f.list.count(), 3);
    EXPECT_EQ(f.list.job(0).sourcePath, "/m/first.avi");

    f.view.select({});
    f.commands.exportSelected();
    EXPECT_EQ(f.prompt.messages.back().text, "Please select something first...");

    f.view.select({0, 2});
    const std::string exported = f.dir.file("export.txt");
    f.dialogs.saveFiles.push_back(exported);
    f.commands.exportSelected();
    EXPECT_EQ(readFileText(exported), "/m/first.avi\t/o/first.kmf\tWeb 256k\r\n"
                                      "/m/ep2.avi\t/o/ep2.kmf\tWeb 256k\r\n");
}

TEST(BatchFileFormat, ParsesBothLineEndsAndRefusesOverLongPaths)
{
    ParsedBatchFile parsed =
        parseBatchFile("a\tb\tc\r\nd\te\tf\n/" + std::string(300, 'x') + "\t/o.kmf\tc\n");
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.entries[1].sourcePath, "d");
    EXPECT_EQ(parsed.entries[1].profileName, "f");
    EXPECT_EQ(parsed.entries[1].line, 2);
    ASSERT_EQ(parsed.problems.size(), 1u);
    EXPECT_EQ(parsed.problems[0].line, 3);

    // A CR inside a line or a NUL in a field: such a job could never be
    // written back, so the line is a problem rather than a job.
    parsed = parseBatchFile(std::string("a\rx\tb\tc\r\nok\tb\tc\r\na\tb\0y\tc\r\n", 26));
    ASSERT_EQ(parsed.entries.size(), 1u);
    EXPECT_EQ(parsed.entries[0].sourcePath, "ok");
    ASSERT_EQ(parsed.problems.size(), 2u);
    EXPECT_EQ(parsed.problems[0].line, 1);
    EXPECT_EQ(parsed.problems[1].line, 3);

    std::vector<BatchFileProblem> many(25, BatchFileProblem{1, "bad"});
    const std::string text = describeProblems("/b.txt", many);
    EXPECT_NE(text.find("and 5 more"), std::string::npos);
}

} // namespace
