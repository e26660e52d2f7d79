// The expectation file of the golden jobs: one line per job, "name bytes
// sha256" (the output's size and its SHA-256 in lower-case hex), in the
// order of the job table; lines starting with '#' are comments. Reading
// takes a snapshot; recording one job's result rewrites the file under an
// exclusive lock, so jobs run as separate processes at once (ctest -j) can
// record their lines side by side.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace moxel::test {

struct GoldenResult {
    uint64_t bytes = 0;
    std::string sha256; // empty when the file could not be read

    bool operator==(const GoldenResult&) const = default;
};

// Size and digest of a file, computed with the FFmpeg libraries' hash API.
GoldenResult digestFile(const std::string& path);

// name -> expected result; empty when the file is missing. Lines that do
// not parse go to *bad (their text).
std::map<std::string, GoldenResult> readGoldenTable(const std::string& path,
                                                    std::vector<std::string>* bad = nullptr);

// Sets job name's line to result, keeps the lines of the other names in
// order that are still there, drops the names order does not list and
// keeps the comment lines at the top. False when the file could not be
// written.
bool recordGoldenResult(const std::string& path, const std::vector<std::string>& order,
                        const std::string& name, const GoldenResult& result);

} // namespace moxel::test
