// How much the media libraries write to standard error. The programs keep
// their warnings and errors only, so version banners and encoder statistics
// do not break into the progress lines; MOXEL_AV_LOGLEVEL (quiet, panic,
// fatal, error, warning, info, verbose, debug, trace) sets another level.
#pragma once

namespace moxel {

// Sets the level once at program start, before any thread uses the libraries.
void setLibraryLogLevel();

} // namespace moxel
