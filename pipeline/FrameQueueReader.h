// The frame reader rule: how a source turns its queue of (repeat count,
// processed picture) entries into output pictures, one per request of the
// conversion driver. The source keeps the queue, its lock and its picture
// pool; this is the rule applied to the oldest entry.
#pragma once

#include <cstddef>
#include <cstdint>

namespace moxel {

struct QueuedPicture {
    int64_t repeat = 0; // repetitions still to give before the picture itself
    const uint8_t* picture = nullptr;
};

// Produces the next output picture from the oldest entry into output
// (pictureBytes long). A repetition leaves output as it is (the picture
// output last), except that the very first output takes the entry's own
// picture; haveOutput records that something was output. Returns true when
// the entry is finished: the caller removes it and gives its buffer back to
// the pool.
bool readQueuedPicture(QueuedPicture& entry, uint8_t* output, size_t pictureBytes,
                       bool& haveOutput);

} // namespace moxel
