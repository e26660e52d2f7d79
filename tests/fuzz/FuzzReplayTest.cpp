// Every fuzz target takes its seeds and every input saved under
// tests/fuzz-regress/<target>/ (inputs that once crashed a parser) without a
// fault; the entries abort on one, so a failure here ends the program.
#include "fuzz/FuzzTarget.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace moxel::fuzz;

namespace {

const fs::path kRegressDir = MOXEL_FUZZ_REGRESS_DIR;

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(FuzzReplay, EveryTargetTakesItsSeedsAndSavedInputs)
{
    std::vector<Target> all = targets();
    ASSERT_GE(all.size(), 6u);
    for (const Target& target : all) {
        SCOPED_TRACE(target.name);
        ASSERT_NE(target.seeds, nullptr);
        std::vector<std::string> seeds = target.seeds();
        EXPECT_FALSE(seeds.empty());
        for (const std::string& seed : seeds)
            runEntry(target, seed);
        runEntry(target, "");

        fs::path folder = kRegressDir / target.name;
        if (!fs::is_directory(folder))
            continue;
        for (const fs::directory_entry& input : fs::directory_iterator(folder)) {
            SCOPED_TRACE(input.path().string());
            runEntry(target, readAll(input.path()));
        }
    }
}

TEST(FuzzReplay, SavedInputFoldersNameTargets)
{
    ASSERT_TRUE(fs::is_directory(kRegressDir));
    for (const fs::directory_entry& folder : fs::directory_iterator(kRegressDir)) {
        std::string name = folder.path().filename().string();
        if (name == "README")
            continue;
        EXPECT_TRUE(folder.is_directory()) << name;
        EXPECT_NE(findTarget(name), nullptr) << name << " is not a fuzz target";
    }
}
