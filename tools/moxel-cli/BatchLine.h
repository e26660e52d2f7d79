// --line N of moxel-cli: which line of a batch file a run takes. N is a
// number counted from 1, as a person counts lines (blank lines count), or
// env:NAME with an optional +K or -K, the value of an environment variable
// (schedulers hand a task its index that way, often counted from 0).
#pragma once

#include <string>
#include <string_view>

namespace moxel::cli {

// The line number that text names, or 0 with a message in error when it
// names none (not a number, an unset or non-numeric variable, below 1).
long resolveLineNumber(const std::string& text, std::string& error);

// bytes with every line but line (1-based) emptied, so the batch reader sees
// that one job at its own line number. False, with a message in error, when
// the file has fewer lines.
bool keepBatchLine(std::string_view bytes, long line, std::string& kept, std::string& error);

} // namespace moxel::cli
