// How much the media libraries write, and where. The programs keep their
// warnings and errors only, so version banners and encoder statistics do not
// break into the progress lines; MOXEL_AV_LOGLEVEL (quiet, panic, fatal,
// error, warning, info, verbose, debug, trace) sets another level. What they
// write goes to the diagnostic sink under the "media library" tag, one line
// each with its "[name @ 0x...] " prefix; on the console it looks as it
// always has, on standard error.
#pragma once

namespace moxel {

// Sets the level and the sink route once at program start, before any
// thread uses the libraries. A verbosity below 0 keeps errors alone, above 0
// adds the information lines; either wins over MOXEL_AV_LOGLEVEL.
void setLibraryLogLevel(int verbosity = 0);

} // namespace moxel
