// Standard output handed to one consumer alone: the progress blocks of
// "--progress -", or the KMF bytes of "-o -" (also "-o /dev/stdout"). The
// decoders' diagnostic lines, which go to standard output, must not mix
// with either, so descriptor 1 is pointed at standard error for them.
#pragma once

#include <string>

namespace moxel::cli {

// True for the destinations that mean standard output: "-" and "/dev/stdout".
bool namesStandardOutput(const std::string& destination);

// Moves standard output to a new descriptor (closed on exec) and points
// descriptor 1 at standard error. The new descriptor, or -1 when either
// step failed (standard output is then left as it was).
int takeStandardOutput();

} // namespace moxel::cli
