// moxel-sync-table: converts every flash/beep source with every coder set
// (or those whose "source coders" name contains one of the arguments) and
// prints the sync table, then the faults of the rows that failed. Exit
// status 0 when every row keeps sync, 1 otherwise.
//
//   build/release/bin/moxel-sync-table            every row
//   build/release/bin/moxel-sync-table mkv mp3    rows naming mkv or mp3
#include "SyncJobs.h"

#include "support/TempDir.h"

extern "C" {
#include <libavutil/log.h>
}

#include <iostream>

int main(int argc, char** argv)
{
    using namespace moxel::test;
    av_log_set_level(AV_LOG_ERROR);
    auto wanted = [&](const std::string& name) {
        for (int i = 1; i < argc; ++i)
            if (name.find(argv[i]) != std::string::npos)
                return true;
        return argc < 2;
    };

    std::cout << syncTableHeading() << std::flush;
    std::vector<SyncRow> rows;
    for (const SyncSource& source : syncSources())
        for (const SyncCoders& coders : syncCoderSets()) {
            if (!wanted(source.name + " " + coders.name) ||
                (!source.hasPictures() && !coders.forSoundFiles))
                continue;
            TempDir dir;
            rows.push_back(runSyncJob(source, coders, dir.path().string()));
            std::cout << syncTableLine(rows.back()) << std::flush;
        }
    bool allPassed = true;
    for (const SyncRow& row : rows) {
        for (const std::string& fault : row.faults)
            std::cout << row.source << " " << row.coders << ": " << fault << "\n";
        allPassed = allPassed && row.passed();
    }
    return allPassed ? 0 : 1;
}
