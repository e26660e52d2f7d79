// bench_cli [--runs N] [--seconds S] [--only ROW]: moxel-cli against the
// ffmpeg command doing the same work, side by side in one run (the rows are
// listed in BenchRows.h). Each row runs its commands alternately N times (3)
// and prints the median wall time and peak memory of each side and the
// medians of the round-by-round ratios moxel-cli / ffmpeg. The main clip is a
// generated S s (20) 1280x720 H.264 + AAC clip at 30 fps. Clips are made in a
// temporary folder, removed at the end unless a command failed (then the
// folder and its commands.log are kept and named). Needs the ffmpeg command
// and GNU parallel (jobs row).
#include "bench/cli/BenchRows.h"
#include "bench/cli/BenchTable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

using namespace moxel::bench;

namespace {

int usage()
{
    std::fprintf(stderr, "usage: bench_cli [--runs N] [--seconds S] [--only ROW]\nrows:");
    for (const std::string& row : rowNames())
        std::fprintf(stderr, " %s", row.c_str());
    std::fprintf(stderr, "\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    BenchSetup setup;
    setup.moxelCli = MOXEL_CLI_PATH;
    std::vector<std::string> rows = rowNames();
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc)
            return usage();
        const std::string value = argv[i + 1];
        if (std::strcmp(argv[i], "--runs") == 0)
            setup.runs = std::max(1, std::atoi(value.c_str()));
        else if (std::strcmp(argv[i], "--seconds") == 0)
            setup.seconds = std::max(1, std::atoi(value.c_str()));
        else if (std::strcmp(argv[i], "--only") == 0 &&
                 std::find(rowNames().begin(), rowNames().end(), value) != rowNames().end())
            rows = {value};
        else
            return usage();
    }

    char folderTemplate[] = "/tmp/moxel-bench-cli-XXXXXX";
    if (!mkdtemp(folderTemplate)) {
        std::perror("mkdtemp");
        return 1;
    }
    setup.folder = folderTemplate;
    setup.log = setup.folder + "/commands.log";
    std::printf("%d alternated runs each; medians; ratios are moxel-cli / other\n", setup.runs);
    printTableHead();
    bool allOk = true;
    for (const std::string& row : rows)
        if (!runRow(row, setup)) {
            allOk = false;
            std::printf("    (row %s: a clip could not be made or a command failed)\n",
                        row.c_str());
        }
    if (!allOk) {
        std::printf("kept for a look: %s (commands' output in commands.log)\n",
                    setup.folder.c_str());
        return 1;
    }
    std::filesystem::remove_all(setup.folder);
    return 0;
}
