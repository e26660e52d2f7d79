// A folder of this process's own for the targets whose parsers read files:
// made on first use (in /dev/shm when it can be written, else the temporary
// folder), removed with its content when the process exits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace moxel::fuzz {

// The path of name inside the folder.
std::string scratchPath(const std::string& name);
// Replaces the file at path with the given bytes (aborts when it cannot).
void writeScratch(const std::string& path, const uint8_t* data, size_t size);

} // namespace moxel::fuzz
