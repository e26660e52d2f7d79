// The states of a batch job. The values are stored in the job record's
// status word, which the user-interface thread and the job's worker share.
#pragma once

#include <cstdint>

namespace moxel {

enum class JobStatus : uint32_t {
    Idle = 0,         // ""
    Queued = 1,       // "queued [#%d]"
    Initializing = 2, // "initializing"
    Encoding = 3,     // "encoding [%s]"
    Paused = 4,       // "paused [%s]"
    Complete = 5,     // "complete [%s]"
    Error = 6,        // "error"
    Aborted = 7,      // "aborted by user"
    Skipped = 8,      // "skipped"
};

} // namespace moxel
