// Reads everything a KMF reader offers (file header, every frame and every
// payload) while checking what the reader promises: frames follow one another
// inside the source, payloads read back with their lengths, each call moves
// on or ends, and a fault leaves the reader failed with a text naming a byte
// offset inside the source. Returns a transcript of what was read, so two
// byte sources can be compared.
#pragma once

#include "container/KmfReader.h"

#include <string>

namespace moxel::fuzz {

std::string walkKmf(KmfReader& reader);

// Seeds shared by the KMF targets: streams and files made with the writer.
std::vector<std::string> kmfSeeds(bool withLargeFrame);

} // namespace moxel::fuzz
