// Whether a destination is already a finished KMF file, for --skip-existing:
// a regular file with a closed file header. The header is written first as
// a placeholder and rewritten in place when the job completes, with the
// file's size; only that final header tells the whole size, and a file cut
// short or grown afterwards no longer matches it. A file without a header
// (a profile that writes none, a partial or damaged file) is not complete.
#pragma once

#include <string>

namespace moxel::cli {

bool isCompleteKmfFile(const std::string& path);

} // namespace moxel::cli
