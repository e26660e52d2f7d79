// Qt is not built for ThreadSanitizer: its own worker threads (the pool it
// starts for file-system and font look-ups) synchronise through futexes the
// sanitizer cannot see, so it would report their hand-overs as races. Reports
// whose frames lie in Qt's own libraries are left out; races in the
// project's code still stop the run. Read by the sanitizer at start-up; an
// unused function in other builds.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libQt6Core.so.6\n"
           "race:libQt6Gui.so.6\n";
}
