// The end of a source's work: what its streams left for its counters, and
// one diagnostic line per counter that is not zero, so the job's log tells
// where the source was damaged, where sound was made up or cut, where
// pictures were dropped or repeated, and whether the file ended early. Both
// sources call these from close, on the worker thread, once their decoding
// has stopped.
#pragma once

#include "sources/SourceCounters.h"

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace moxel {

class StreamDecoder;

// Adds the streams' damaged packets (the first one's time on the timeline
// that starts at originSeconds of the file's time), and notes where the
// source ended when every stream reached its end well before the announced
// length (by more than a second and more than 3 percent; a length guessed
// from the bit rate is not checked). Null streams are passed over.
void collectStreamCounters(SourceCounters& counters,
                           std::initializer_list<const StreamDecoder*> streams,
                           double originSeconds, double announcedSeconds);

// Both steps at a source's close: collects from video and audio (either may
// be null), whose timeline starts at originUs of the file's time
// (SoundTimeline::kUnknown: at the file's start), then reports.
void reportSourceEnd(SourceCounters& counters, std::string_view tag, const StreamDecoder* video,
                     const StreamDecoder* audio, int64_t originUs, double announcedSeconds);

// One line per counter that is not zero, through the diagnostic sink with
// tag and "tag: " in front, e.g. "Dshow: 1.52 s of silence inserted for
// missing sound (first at 12.40 s)".
void reportSourceCounters(const SourceCounters& counters, std::string_view tag,
                          double announcedSeconds);

} // namespace moxel
