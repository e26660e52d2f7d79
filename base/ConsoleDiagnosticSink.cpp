#include "base/ConsoleDiagnosticSink.h"

#include <cstdio>
#include <new>

namespace moxel {

namespace {

struct ConsoleRoute {
    std::string_view tag;
    bool ownLine; // a line break before the line as well
    bool flush;
};

// The tags printed on standard output.
const ConsoleRoute kStandardOutput[] = {
    {kDshowDiagnostics, false, false},   {kQtDiagnostics, false, false},
    {kQzDiagnostics, true, true},        {kBroxDiagnostics, true, true},
    {kAvPluginDiagnostics, false, true},
};

} // namespace

void ConsoleDiagnosticSink::write(std::string_view tag, DiagnosticLevel, std::string_view line)
{
    const int length = int(line.size());
    for (const ConsoleRoute& route : kStandardOutput) {
        if (route.tag != tag)
            continue;
        // One call per line, so lines of several threads do not mix.
        std::fprintf(stdout, route.ownLine ? "\n%.*s\n" : "%.*s\n", length, line.data());
        if (route.flush)
            std::fflush(stdout);
        return;
    }
    std::fprintf(stderr, "%.*s\n", length, line.data());
}

ConsoleDiagnosticSink& consoleDiagnosticSink()
{
    // In static storage and never destroyed, like the process-wide sink.
    alignas(ConsoleDiagnosticSink) static unsigned char storage[sizeof(ConsoleDiagnosticSink)];
    static ConsoleDiagnosticSink* const console = new (storage) ConsoleDiagnosticSink;
    return *console;
}

} // namespace moxel
