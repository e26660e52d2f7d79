// Whether a job may start while others run: two jobs must never write the
// same file at once, nor may a job write the file another one reads or read
// the one another writes (it would see a half-made file, or the old one,
// depending on which finishes first). Files are compared by where they end
// up on disk: relative names, "..", symbolic links to the file and to its
// folders all count as the file they name.
#pragma once

#include <string>
#include <vector>

namespace moxel {

struct BatchJob;

// The files of a job that has (or may still have) a worker: the copies of
// its paths that the job start took.
struct BusyFiles {
    std::string output; // empty when the job writes no file (a stream without a copy)
    std::string source;
};

// A path in the form two jobs compare; empty stays empty.
std::string fileIdentity(const std::string& path);

// The files of a job whose worker may still run.
BusyFiles busyFilesOf(const BatchJob& job);

// The output or source of job (its paths as they are now) that one of busy
// also uses in a way that clashes; empty when job may start. When job's
// output clashes the result is that output file.
std::string clashingFile(const BatchJob& job, const std::vector<BusyFiles>& busy);

} // namespace moxel
