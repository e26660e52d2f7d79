#include "plugins/av/AvDiagnostic.h"

#include "base/DiagnosticSink.h"

#include <cstdarg>
#include <cstdio>

extern "C" {
#include <libavutil/error.h>
}

namespace moxel::av {

void diagnostic(const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    emitDiagnosticf(kAvPluginDiagnostics, DiagnosticLevel::Error, "kmf_coder_av: %s", line);
}

const char* avErrorText(int code, char* buffer, int size)
{
    av_strerror(code, buffer, size_t(size));
    return buffer;
}

} // namespace moxel::av
