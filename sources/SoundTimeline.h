// Where decoded sound belongs on a source's output timeline, so that the PCM
// handed out stays with the pictures however the file's sound is stamped.
// The timeline starts at the first picture (the video stream's start) or,
// for a source without pictures, where the sound itself starts. Each decoded
// frame's timestamp is compared with where the sound placed so far ends:
//  - sound that starts later than the timeline, and gaps (lost or damaged
//    packets), are preceded by silence of the missing length;
//  - sound before the timeline's start, and overlaps, are cut off; in
//    formats whose stamps may start again (MPEG transport and program
//    streams, where recordings are joined), a jump back mid-stream is such
//    a restart and the sound goes on unchanged;
//  - a difference below one codec frame is jitter and changes nothing, so
//    cleanly stamped files come out exactly as they are decoded;
//  - a jump beyond the source's announced length (a damaged timestamp) is
//    not believed: the sound goes on where it was, as if it had none.
// Frames without a timestamp follow the one before them.
//
// Works in sample frames of the decoded sound, before the audio chain, so
// the resampler sees continuous sound. The silence asked for can be long:
// the caller hands it on in bounded pieces. The sound's counters (silence
// made up, sound dropped) are kept in the SourceCounters given to start.
//
// Used by one thread at a time: the decoder source's audio thread, or the
// movie source's worker.
#pragma once

#include "sources/SourceCounters.h"

#include <cstdint>

namespace moxel {

class SoundTimeline {
  public:
    static constexpr int64_t kUnknown = INT64_MIN;

    struct Placement {
        int64_t silenceFrames = 0; // sample frames of silence to hand out before the frame
        int64_t skipFrames = 0;    // frames to drop from the frame's front (all of it: skip it)
    };

    // originUs: the timeline's start in the file's time (microseconds), or
    // kUnknown to start with the first frame. announcedSeconds: the source's
    // length (0 when unknown), which bounds the jumps believed. counters may
    // be null. stampsMayRestart: the format's stamps may start again.
    void start(int64_t originUs, double announcedSeconds, SourceCounters* counters,
               bool stampsMayRestart = false);

    // Places the next decoded frame of frames sample frames at rate, stamped
    // timestampUs (kUnknown when it has no time).
    Placement place(int64_t timestampUs, int64_t frames, int rate);

    // A stamp of a stream with time base num/den in microseconds; kUnknown
    // for the libraries' "no time" (which has the same value).
    static int64_t microseconds(int64_t stamp, int num, int den);

    // Where the timeline starts in the file's time (microseconds): the origin
    // given to start, else the first frame's stamp once placed, else kUnknown.
    int64_t originUs() const { return m_originUs; }

    // Where the sound placed so far ends, in the file's time (microseconds);
    // kUnknown before the first frame.
    int64_t endUs() const;

  private:
    // Moves the count of frames placed into m_baseUs (for a new rate).
    void rebase(int64_t atUs, int rate);
    bool believable(int64_t timestampUs, int64_t jumpFrames) const;
    int64_t timelineMs() const;
    // Adds frames (at m_rate) to a total and to its counters.
    void count(int64_t frames, int64_t& totalUs, std::atomic<int64_t> SourceCounters::*totalMs,
               std::atomic<int64_t> SourceCounters::*firstAtMs);

    int64_t m_originUs = kUnknown;
    int64_t m_limitUs = 0;
    SourceCounters* m_counters = nullptr;
    bool m_stampsMayRestart = false;
    bool m_started = false;
    bool m_placedAny = false;   // some sound has been kept
    int64_t m_baseUs = 0;       // file time where m_placedFrames began
    int64_t m_placedFrames = 0; // at m_rate since m_baseUs, silence included
    int m_rate = 0;
    int64_t m_largestFrame = 0; // the source's codec frame, as seen so far
    int64_t m_silenceUs = 0;    // totals behind the counters
    int64_t m_droppedUs = 0;
};

} // namespace moxel
