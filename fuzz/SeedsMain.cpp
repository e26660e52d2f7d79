// moxel-fuzz-seeds FOLDER: writes the seeds of every target linked in to
// FOLDER/<target>/seed-<n>, the starting corpus scripts/fuzz hands to the
// fuzz programs.
#include "fuzz/FuzzTarget.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: moxel-fuzz-seeds FOLDER\n");
        return 2;
    }
    namespace fs = std::filesystem;
    for (const moxel::fuzz::Target& target : moxel::fuzz::targets()) {
        fs::path folder = fs::path(argv[1]) / target.name;
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec) {
            std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), ec.message().c_str());
            return 1;
        }
        std::vector<std::string> seeds = target.seeds ? target.seeds() : std::vector<std::string>{};
        for (size_t i = 0; i < seeds.size(); ++i) {
            fs::path file = folder / ("seed-" + std::to_string(i));
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out.write(seeds[i].data(), std::streamsize(seeds[i].size()));
            if (!out) {
                std::fprintf(stderr, "cannot write %s\n", file.c_str());
                return 1;
            }
        }
        std::printf("%s: %zu seeds\n", target.name.c_str(), seeds.size());
    }
    return 0;
}
