// kmfinfo: describes a KMF file (file header, stream description, frame
// totals and, on request, every frame) as text or as one JSON document.
// The logic lives here, apart from main(), so tests can run it on streams.
//
// Exit codes: 0 sound file; 1 damaged file (what was read is still printed,
// the error with its byte offset goes to `err`); 2 usage error or a file
// that cannot be opened.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace moxel {

class KmfReader;

struct KmfInfoOptions {
    bool listFrames = false;
    bool json = false;
};

// Runs the command line (arguments without the program name).
int runKmfInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Reports on an opened reader; `name` is the file name shown. Returns 0 or 1.
int reportKmfInfo(KmfReader& reader, const std::string& name, const KmfInfoOptions& options,
                  std::ostream& out, std::ostream& err);

extern const char* const kKmfInfoUsage;

} // namespace moxel
