#include "sources/LibraryLog.h"

#include "base/DiagnosticSink.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace moxel {

namespace {

struct NamedLevel {
    const char* name;
    int level;
};

const NamedLevel kLevels[] = {
    {"quiet", AV_LOG_QUIET},     {"panic", AV_LOG_PANIC},     {"fatal", AV_LOG_FATAL},
    {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
    {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG},     {"trace", AV_LOG_TRACE},
};

// A line the libraries write in pieces is gathered per thread and handed on
// whole: the first piece got the "[name @ 0x...] " prefix (the libraries keep
// the same state for their own printer).
thread_local int t_startsLine = 1;
thread_local std::string t_pending;

DiagnosticLevel diagnosticLevel(int level)
{
    if (level <= AV_LOG_ERROR)
        return DiagnosticLevel::Error;
    if (level <= AV_LOG_WARNING)
        return DiagnosticLevel::Warning;
    if (level <= AV_LOG_VERBOSE)
        return DiagnosticLevel::Info;
    return DiagnosticLevel::Debug;
}

void libraryMessage(void* context, int level, const char* format, va_list args)
{
    if ((level & 0xFF) > av_log_get_level())
        return;
    // On the console the libraries' own printer keeps its colours on a terminal.
    if (diagnosticsGoToConsole()) {
        av_log_default_callback(context, level, format, args);
        return;
    }
    char piece[1024];
    if (av_log_format_line2(context, level, format, args, piece, int(sizeof piece), &t_startsLine) <
        0)
        return;
    // Nothing may be thrown back into the libraries.
    try {
        t_pending += piece;
        if (!t_startsLine)
            return; // the line goes on in the next piece
        std::string_view line = t_pending;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        if (!line.empty())
            emitDiagnostic(kMediaLibraryDiagnostics, diagnosticLevel(level & 0xFF), line);
    } catch (...) {
    }
    t_pending.clear();
}

} // namespace

void setLibraryLogLevel(int verbosity)
{
    int level = AV_LOG_WARNING;
    if (const char* wanted = std::getenv("MOXEL_AV_LOGLEVEL"))
        for (const NamedLevel& named : kLevels)
            if (std::strcmp(named.name, wanted) == 0)
                level = named.level;
    if (verbosity != 0)
        level = verbosity < 0 ? AV_LOG_ERROR : AV_LOG_INFO;
    av_log_set_level(level);
    av_log_set_callback(libraryMessage);
}

} // namespace moxel
