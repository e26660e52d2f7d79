// The default diagnostic sink: prints every line on the console exactly as
// the engine has always printed it. The decoder and movie sources, the
// stream destinations and the FFmpeg codec plug-in write to standard
// output, the stream lines on a line of their own (they break into a
// progress line) and flushed, as the plug-in's are; every other tag goes to
// standard error. The level changes nothing here: the console shows all.
#pragma once

#include "base/DiagnosticSink.h"

namespace moxel {

class ConsoleDiagnosticSink : public DiagnosticSink {
  public:
    void write(std::string_view tag, DiagnosticLevel level, std::string_view line) override;
};

// The one console sink of the process; never destroyed.
ConsoleDiagnosticSink& consoleDiagnosticSink();

} // namespace moxel
