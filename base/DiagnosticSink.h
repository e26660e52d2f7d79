// Where the engine's diagnostic lines go: "Dshow: ..." and "QT: ..." from
// the sources, "[qz] ..." from a stream, "codec plug-ins: ..." from the
// loader, the media libraries' own messages and the like. They are for the
// developer and the log; the user's fixed messages go through the prompt.
//
// Each line goes to one sink, chosen on the thread that emits it:
//  - the sink installed on that thread (ScopedDiagnosticSink): a job's worker
//    installs the job's sink, and the threads the engine starts for that work
//    take it along (carryDiagnosticSink);
//  - otherwise the process-wide sink (setProcessDiagnosticSink), which is
//    also where threads the engine does not own (the media libraries' own)
//    always write;
//  - which by default is the console (ConsoleDiagnosticSink.h): every line
//    exactly as it has always been printed, on standard output or standard
//    error by its tag.
//
// A line is the whole text a console shows, prefix included, without its
// line end ("Dshow: reported input fps=25.000000"), so a log reads like the
// console; the tag says who wrote it and the level how much it matters.
//
// Sinks are called on the emitting thread, from several threads at once when
// shared; a sink locks what it keeps and must not emit itself. Sinks are held
// by shared pointers: an emit in progress keeps its sink alive even after it
// has been replaced.
//
// A library loaded as a plug-in (a codec plug-in, the profile editor) links
// its own copy of all this, hidden: its lines go to its own console sink and
// never reach the sinks the program installs.
//
//     auto lines = std::make_shared<MyJobLog>();
//     ScopedDiagnosticSink use(lines);      // this thread writes to lines ...
//     worker = std::thread(carryDiagnosticSink([] { decode(); })); // ... and so does worker
#pragma once

#include <memory>
#include <string_view>
#include <utility>

namespace moxel {

enum class DiagnosticLevel {
    Debug,   // detail for whoever chases a fault
    Info,    // what was found or decided ("reported input fps=25")
    Warning, // something was skipped or worked around; the job goes on
    Error,   // something failed
};

// The tags of the engine's lines. The console sink prints the first group
// on standard output and the rest on standard error.
inline constexpr std::string_view kDshowDiagnostics = "Dshow"; // the decoder source
inline constexpr std::string_view kQtDiagnostics = "QT";       // the movie source
inline constexpr std::string_view kQzDiagnostics = "qz";       // a qz stream destination
inline constexpr std::string_view kBroxDiagnostics = "brox";   // a brox stream destination
inline constexpr std::string_view kAvPluginDiagnostics = "kmf_coder_av"; // the FFmpeg codec plug-in
inline constexpr std::string_view kPluginLoaderDiagnostics = "codec plug-ins";
inline constexpr std::string_view kPcmCoderDiagnostics = "PCM"; // the built-in coders
inline constexpr std::string_view kRgbCoderDiagnostics = "RGB3";
inline constexpr std::string_view kStreamCopyDiagnostics = "stream copy";
inline constexpr std::string_view kOutputFileDiagnostics =
    "output file"; // why a destination failed
// A message box shown as a line because no prompt was there to show it.
inline constexpr std::string_view kMessageDiagnostics = "message";
inline constexpr std::string_view kProfileEditorDiagnostics = "profile editor";
inline constexpr std::string_view kMediaLibraryDiagnostics = "media library";

class DiagnosticSink {
  public:
    virtual ~DiagnosticSink() = default;
    virtual void write(std::string_view tag, DiagnosticLevel level, std::string_view line) = 0;
};

// Hands one line to the calling thread's sink.
void emitDiagnostic(std::string_view tag, DiagnosticLevel level, std::string_view line);
// The same with the line made by printf-style formatting (any length; cut
// at 255 characters only when memory runs out).
void emitDiagnosticf(std::string_view tag, DiagnosticLevel level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Hands one line to the process-wide sink (the console by default),
// whatever sink the calling thread has: for a sink that keeps lines and
// passes them on.
void writeProcessDiagnostic(std::string_view tag, DiagnosticLevel level, std::string_view line);

// Replaces the process-wide sink and returns the one it had (null: the
// console). Null puts the console back.
std::shared_ptr<DiagnosticSink> setProcessDiagnosticSink(std::shared_ptr<DiagnosticSink> sink);

// True when a line emitted now on this thread would reach the console sink.
bool diagnosticsGoToConsole();

// The sink installed on this thread, null when it writes to the process-wide one.
std::shared_ptr<DiagnosticSink> threadDiagnosticSink();

// Installs a sink on the constructing thread for the life of the object
// and then puts back the one installed before; null sends the thread's lines
// to the process-wide sink meanwhile. Made and destroyed on the same thread,
// innermost first.
class ScopedDiagnosticSink {
  public:
    explicit ScopedDiagnosticSink(std::shared_ptr<DiagnosticSink> sink);
    ~ScopedDiagnosticSink();
    ScopedDiagnosticSink(const ScopedDiagnosticSink&) = delete;
    ScopedDiagnosticSink& operator=(const ScopedDiagnosticSink&) = delete;

  private:
    std::shared_ptr<DiagnosticSink> m_previous;
};

// Wraps a thread body so that the new thread writes to the sink of the thread
// that calls this (the one starting it): std::thread(carryDiagnosticSink(body)).
template <class Body> auto carryDiagnosticSink(Body body)
{
    return [sink = threadDiagnosticSink(), body = std::move(body)]() mutable {
        ScopedDiagnosticSink use(std::move(sink));
        body();
    };
}

} // namespace moxel
