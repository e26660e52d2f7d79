// What a job's destination means on disk. A file destination is itself the
// file to check; a stream destination ("qz:host:port:header[+copy]" or
// "brox:...") is not a file, and only its local copy file, when it names
// one, lies on disk.
#pragma once

#include <string>

namespace moxel {

// The copy file named after the first '+' of a stream destination's header
// file part; empty when the destination names none.
std::string streamCopyFile(const std::string& destination);

// The file the job start checks and the encoder writes: the destination
// itself, the copy file of a stream destination, or empty for a stream
// without a copy.
std::string destinationFile(const std::string& destination);

// The text before the last '/', or empty when there is none (a name in the
// current folder, or a file right below the root).
std::string folderOf(const std::string& path);

} // namespace moxel
