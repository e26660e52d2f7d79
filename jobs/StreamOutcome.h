// What a job's stream destination came to, as the Status column, moxel-cli
// and the job's report tell it. Read from the job record's stream figures,
// which the worker stores once the encoder has closed and before it marks
// itself done; while the worker runs, and for file destinations, there is
// nothing to tell.
#pragma once

#include "jobs/BatchJob.h"

#include <string>

namespace moxel {

// The note after the status: "stream never connected", "12 frames not
// sent"; empty when the stream got every frame (or there is none).
std::string streamNote(const JobWorkerBlock& block);

// The stream server never took a single byte: moxel-cli counts the job as
// failed and names the server.
bool streamReachedNothing(const JobWorkerBlock& block);

} // namespace moxel
