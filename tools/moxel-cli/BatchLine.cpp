#include "tools/moxel-cli/BatchLine.h"

#include <cerrno>
#include <cstdlib>

namespace moxel::cli {

namespace {

// The whole of text as a decimal number (an optional sign, digits only).
bool parseWhole(std::string_view text, long& value)
{
    if (text.empty() || text.size() > 18)
        return false;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    value = std::strtol(copy.c_str(), &end, 10);
    const bool digitFirst =
        (copy[0] >= '0' && copy[0] <= '9') ||
        (copy.size() > 1 && (copy[0] == '+' || copy[0] == '-') && copy[1] >= '0' && copy[1] <= '9');
    return digitFirst && errno == 0 && end && *end == '\0';
}

} // namespace

long resolveLineNumber(const std::string& text, std::string& error)
{
    long line = 0;
    std::string_view wanted = text;
    if (wanted.substr(0, 4) == "env:") {
        wanted.remove_prefix(4);
        long offset = 0;
        const size_t sign = wanted.find_first_of("+-");
        if (sign != std::string_view::npos) {
            if (!parseWhole(wanted.substr(sign + 1), offset)) {
                error = "--line " + text + ": the offset after the variable's name is not a number";
                return 0;
            }
            if (wanted[sign] == '-')
                offset = -offset;
            wanted = wanted.substr(0, sign);
        }
        const std::string name(wanted);
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        if (!value) {
            error = "--line " + text + ": the environment variable " +
                    (name.empty() ? std::string("name is missing") : name + " is not set");
            return 0;
        }
        if (!parseWhole(value, line)) {
            error = "--line " + text + ": the environment variable " + name + " holds \"" + value +
                    "\", not a number";
            return 0;
        }
        line += offset;
    } else if (!parseWhole(wanted, line)) {
        error = "--line " + text + ": not a line number";
        return 0;
    }
    if (line < 1) {
        error = "--line " + text + ": the line number is " + std::to_string(line) +
                "; lines count from 1";
        return 0;
    }
    return line;
}

bool keepBatchLine(std::string_view bytes, long line, std::string& kept, std::string& error)
{
    kept.clear();
    long number = 0;
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find('\n', start);
        const bool lastUnended = end == std::string_view::npos;
        if (lastUnended)
            end = bytes.size();
        ++number;
        if (number == line)
            kept += bytes.substr(start, end - start);
        if (!lastUnended)
            kept += '\n';
        start = end + 1;
    }
    if (line > number) {
        error = "--line " + std::to_string(line) + ": the batch file has " +
                std::to_string(number) + " line(s)";
        return false;
    }
    return true;
}

} // namespace moxel::cli
