// Batch files from any bytes: every entry read holds fields a line can
// carry, every problem names a line of the file, and writing the entries
// then reading them again gives the same jobs without problems.
#include "jobs/BatchFile.h"
#include "fuzz/FuzzTarget.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

using namespace moxel;

bool lineSafe(const std::string& field)
{
    return field.find_first_of(std::string_view("\t\r\n\0", 4)) == std::string::npos;
}

void entry(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ParsedBatchFile parsed = parseBatchFile(bytes);
    const int lines = int(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    for (const BatchFileEntry& e : parsed.entries) {
        MOXEL_FUZZ_CHECK(lineSafe(e.sourcePath) && lineSafe(e.destPath) && lineSafe(e.profileName));
        MOXEL_FUZZ_CHECK(!e.sourcePath.empty() && !e.destPath.empty());
        MOXEL_FUZZ_CHECK(e.line >= 1 && e.line <= lines);
    }
    for (const BatchFileProblem& p : parsed.problems)
        MOXEL_FUZZ_CHECK(p.line >= 1 && p.line <= lines && !p.reason.empty());

    std::vector<size_t> skipped;
    const std::string written = formatBatchFile(parsed.entries, &skipped);
    MOXEL_FUZZ_CHECK(skipped.empty());
    const ParsedBatchFile again = parseBatchFile(written);
    MOXEL_FUZZ_CHECK(again.problems.empty());
    MOXEL_FUZZ_CHECK(again.entries.size() == parsed.entries.size());
    for (size_t i = 0; i < again.entries.size(); ++i) {
        MOXEL_FUZZ_CHECK(again.entries[i].sourcePath == parsed.entries[i].sourcePath);
        MOXEL_FUZZ_CHECK(again.entries[i].destPath == parsed.entries[i].destPath);
        MOXEL_FUZZ_CHECK(again.entries[i].profileName == parsed.entries[i].profileName);
    }
}

std::vector<std::string> seeds()
{
    return {
        "/home/user/a.avi\t/home/user/out/a.kmf\t(Default)\r\n"
        "/home/user/b.mov\t/home/user/out/b.kmf\tStreaming: VP8 640x360 + MP3\r\n",
        "/a.mp4\tqz:example.org:8000:/home/user/header.txt+/home/user/copy.kmf\tlive\n\n",
        "no tabs here\r\n/x\t\tempty dest\r\n/x\t/y\r\n/x\t/y\tz\textra\r\n",
        "/src\t/" + std::string(5000, 'd') + "\tlong\r\n",
    };
}

} // namespace

MOXEL_FUZZ_TARGET(entry, seeds);
